#include "app/win32/WindowTimer.h"

#include <map>

namespace app::win32 {

namespace {

// Running timers by the system's timer id. A WM_TIMER already queued when its timer was
// killed finds no entry (a new start gets a new id) and does nothing.
std::map<UINT_PTR, TWindowTimer*>& RunningTimers() {
    static std::map<UINT_PTR, TWindowTimer*> timers;
    return timers;
}

} // namespace

TWindowTimer::~TWindowTimer() {
    StopTicking();
}

void TWindowTimer::StartTicking(int intervalMs) {
    StopTicking();
    id = ::SetTimer(nullptr, 0, static_cast<UINT>(intervalMs), &TWindowTimer::TimerProc);
    if (id != 0) {
        RunningTimers()[id] = this;
    }
}

void TWindowTimer::StopTicking() {
    if (id == 0) {
        return;
    }
    ::KillTimer(nullptr, id);
    RunningTimers().erase(id);
    id = 0;
}

void CALLBACK TWindowTimer::TimerProc(HWND /*window*/, UINT /*message*/, UINT_PTR id,
                                      DWORD /*time*/) {
    const auto found = RunningTimers().find(id);
    if (found != RunningTimers().end()) {
        found->second->Tick();
    }
}

} // namespace app::win32
