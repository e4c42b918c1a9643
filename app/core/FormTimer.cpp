#include "app/core/FormTimer.h"

namespace app {

void TTimer::SetEnabled(bool value) {
    if (value == enabled) {
        return;
    }
    enabled = value;
    if (enabled) {
        StartTicking(interval);
    } else {
        StopTicking();
    }
}

void TTimer::SetInterval(int milliseconds) {
    if (milliseconds == interval) {
        return;
    }
    interval = milliseconds;
    if (enabled) {
        StartTicking(interval);
    }
}

void TTimer::Tick() {
    if (enabled && OnTimer) {
        OnTimer(*this);
    }
}

} // namespace app
