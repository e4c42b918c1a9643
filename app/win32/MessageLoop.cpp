#include "app/win32/MessageLoop.h"

#include "runtime/MainThreadQueue.h"

namespace app::win32 {

namespace {

void Dispatch(HWND dialogWindow, MSG& message) {
    if (dialogWindow != nullptr && ::IsWindow(dialogWindow) &&
        ::IsDialogMessageW(dialogWindow, &message)) {
        return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
}

} // namespace

int RunMessageLoop(HWND dialogWindow) {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        Dispatch(dialogWindow, message);
    }
    return static_cast<int>(message.wParam);
}

bool DispatchWaitingMessages(HWND dialogWindow) {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        Dispatch(dialogWindow, message);
    }
    runtime::ServeMainThreadQueue();
    return true;
}

} // namespace app::win32
