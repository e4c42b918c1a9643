#include "platform/win32/SystemNotifyWindows.h"

#include <utility>

namespace platform::win32_backend {

namespace {

constexpr const char* kClassName = "VuzHidNotifyWindow";

// The messages a notification window is for. Everything else (creation, sizing, activation...)
// gets the system's default handling, which a window needs to be created at all.
bool ForProcedure(UINT message) {
    return message == WM_DEVICECHANGE || message == WM_QUERYENDSESSION ||
           message == WM_ENDSESSION || message >= WM_USER;
}

LRESULT CALLBACK NotifyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (message == WM_NCDESTROY) {
        // The state may go once the window has gone; nothing may reach it after this.
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    } else if (ForProcedure(message)) {
        auto* state = reinterpret_cast<TSystemNotifyWindows::TState*>(
            ::GetWindowLongPtrA(window, GWLP_USERDATA));
        if (state != nullptr) {
            const auto running = state->shared_from_this();
            return running->Procedure(message, wParam, lParam);
        }
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE ThisModule() {
    return ::GetModuleHandleA(nullptr);
}

// Registers the class once per process; false (with the last error set) when that failed.
bool ClassRegistered() {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = NotifyWindowProc;
        windowClass.hInstance = ThisModule();
        windowClass.lpszClassName = kClassName;
        return ::RegisterClassA(&windowClass) != 0 ||
               ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

} // namespace

TSystemNotifyWindows::~TSystemNotifyWindows() {
    // Windows still open belong to threads that may be gone; each one's state stays valid
    // until the window goes, so detach the states before freeing them.
    std::lock_guard lock(mutex_);
    for (const auto& [window, state] : states_) {
        if (::IsWindow(window)) {
            ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        }
    }
}

HWND TSystemNotifyWindows::Create(WindowProcedure procedure) {
    if (!procedure) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!ClassRegistered()) {
        return nullptr;
    }
    auto state = std::make_shared<TState>(std::move(procedure));
    // No parent: a top-level window, never shown (no WS_VISIBLE).
    const HWND window = ::CreateWindowExA(0, kClassName, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                          nullptr, ThisModule(), state.get());
    if (window == nullptr) {
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    states_[window] = std::move(state);
    return window;
}

BOOL TSystemNotifyWindows::Destroy(HWND window) {
    const BOOL destroyed = ::DestroyWindow(window);
    if (destroyed) {
        const DWORD error = ::GetLastError();
        std::lock_guard lock(mutex_);
        states_.erase(window);
        ::SetLastError(error);
    }
    return destroyed;
}

} // namespace platform::win32_backend
