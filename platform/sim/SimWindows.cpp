#include "platform/sim/SimCore.h"
#include "runtime/MainThreadQueue.h"

namespace platform::sim::detail {

namespace {

// Queues one message for the main thread. The window is looked up when the message is
// served: one destroyed meanwhile (or a bus gone meanwhile) gets nothing.
void Post(const std::shared_ptr<TWindowTable>& table, HWND window, UINT message, WPARAM wParam,
          LPARAM lParam) {
    runtime::PostToMainThread(
        [weak = std::weak_ptr<TWindowTable>(table), window, message, wParam, lParam] {
            const std::shared_ptr<TWindowTable> windows = weak.lock();
            if (!windows) {
                return;
            }
            WindowProcedure procedure;
            {
                std::lock_guard lock(windows->mutex);
                const auto found = windows->windows.find(window);
                if (found == windows->windows.end()) {
                    return;
                }
                procedure = found->second.procedure;
            }
            if (procedure) {
                procedure(message, wParam, lParam);
            }
        });
}

} // namespace

HWND TSimCore::CreateNotifyWindow(WindowProcedure procedure) {
    if (const auto error = Enter("CreateNotifyWindow")) {
        SetError(*error);
        return nullptr;
    }
    std::lock_guard lock(windows->mutex);
    const HWND window = MakeHandle<HWND>(windows->next, 2);
    windows->windows.emplace(window, TWindow{std::move(procedure), std::this_thread::get_id()});
    return window;
}

BOOL TSimCore::DestroyWindow(HWND window) {
    if (const auto error = Enter("DestroyWindow")) {
        SetError(*error);
        return FALSE;
    }
    {
        std::lock_guard lock(windows->mutex);
        const auto found = windows->windows.find(window);
        if (found != windows->windows.end()) {
            // Only the thread that created a window may destroy it.
            if (found->second.owner != std::this_thread::get_id()) {
                SetError(ERROR_ACCESS_DENIED);
                return FALSE;
            }
            windows->windows.erase(found);
            return TRUE;
        }
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
    {
        std::lock_guard lock(windows->mutex);
        if (!windows->windows.contains(window)) {
            SetError(kErrorInvalidWindowHandle);
            return FALSE;
        }
    }
    Post(windows, window, message, wParam, lParam);
    return TRUE;
}

void TSimCore::BroadcastDeviceChange() {
    std::vector<HWND> targets;
    {
        std::lock_guard lock(windows->mutex);
        for (const auto& [window, entry] : windows->windows) {
            targets.push_back(window);
        }
    }
    for (HWND window : targets) {
        Post(windows, window, WM_DEVICECHANGE, kDbtDevnodesChanged, 0);
    }
}

} // namespace platform::sim::detail
