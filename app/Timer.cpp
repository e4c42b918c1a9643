#include "app/Timer.h"

TTimer::TTimer(QObject* owner) : QObject(owner) {
    timer.setInterval(1000);
    connect(&timer, &QTimer::timeout, this, [this] {
        if (OnTimer) {
            OnTimer(this);
        }
    });
}

bool TTimer::Enabled() const { return timer.isActive(); }

void TTimer::SetEnabled(bool enabled) {
    if (enabled && !timer.isActive()) {
        timer.start();
    } else if (!enabled) {
        timer.stop();
    }
}

int TTimer::Interval() const { return timer.interval(); }

void TTimer::SetInterval(int milliseconds) { timer.setInterval(milliseconds); }
