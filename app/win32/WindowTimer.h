// The countdown's timer on the thread's message loop: SetTimer / KillTimer, ticking when the
// loop dispatches WM_TIMER. Main thread only.
#pragma once

#include "app/core/FormTimer.h"
#include "platform/PlatformTypes.h"

namespace app::win32 {

class TWindowTimer final : public app::TTimer {
public:
    TWindowTimer() = default;
    ~TWindowTimer() override;
    TWindowTimer(const TWindowTimer&) = delete;
    TWindowTimer& operator=(const TWindowTimer&) = delete;

protected:
    void StartTicking(int intervalMs) override;
    void StopTicking() override;

private:
    static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);

    UINT_PTR id = 0;
};

} // namespace app::win32
