#include "platform/sim/SimCore.h"

namespace platform::sim::detail {

HWND TSimCore::CreateNotifyWindow(WindowProcedure procedure) {
    if (const auto error = Enter("CreateNotifyWindow")) {
        SetError(*error);
        return nullptr;
    }
    return windows.Create(std::move(procedure));
}

BOOL TSimCore::DestroyWindow(HWND window) {
    if (const auto error = Enter("DestroyWindow")) {
        SetError(*error);
        return FALSE;
    }
    switch (windows.Destroy(window)) {
    case TNotifyWindows::TDestroyed::Yes:
        return TRUE;
    case TNotifyWindows::TDestroyed::NotOwner:
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    case TNotifyWindows::TDestroyed::NoWindow:
        break;
    }
    SetError(kErrorInvalidWindowHandle);
    std::lock_guard lock(mutex);
    ViolationLocked("DestroyWindow: " + HandleText(window) + " is not a window");
    return FALSE;
}

BOOL TSimCore::PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (const auto error = Enter("PostMessageA")) {
        SetError(*error);
        return FALSE;
    }
    if (!windows.Post(window, message, wParam, lParam)) {
        SetError(kErrorInvalidWindowHandle);
        return FALSE;
    }
    return TRUE;
}

void TSimCore::BroadcastDeviceChange() {
    windows.Broadcast(WM_DEVICECHANGE, kDbtDevnodesChanged, 0);
}

} // namespace platform::sim::detail
