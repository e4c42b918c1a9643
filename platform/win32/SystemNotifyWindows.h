// Real hidden top-level windows of the system whose procedure is a std::function. Top-level
// because only top-level windows receive the broadcast device-change message. Messages are
// dispatched by the creating thread's message loop, as for any window.
#pragma once

#include "platform/PlatformServices.h"

#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace platform::win32_backend {

class TSystemNotifyWindows {
public:
    TSystemNotifyWindows() = default;
    TSystemNotifyWindows(const TSystemNotifyWindows&) = delete;
    TSystemNotifyWindows& operator=(const TSystemNotifyWindows&) = delete;
    ~TSystemNotifyWindows();

    // A new window, never shown, or null with the system's last error.
    HWND Create(WindowProcedure procedure);

    // Destroys a window of ours (from the thread that created it); the system's result.
    BOOL Destroy(HWND window);

    // The procedure's state; the window points at it while it exists. A running procedure
    // holds it too, so a procedure may destroy its own window.
    struct TState : std::enable_shared_from_this<TState> {
        explicit TState(WindowProcedure procedure) : Procedure(std::move(procedure)) {}
        WindowProcedure Procedure;
    };

private:
    std::mutex mutex_;
    std::map<HWND, std::shared_ptr<TState>> states_;
};

} // namespace platform::win32_backend
