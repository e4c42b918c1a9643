// The thread's message loop, and "process the waiting messages" for the window's behaviour.
// Tab and the dialog keys move between the controls of the given window.
#pragma once

#include "platform/PlatformTypes.h"

namespace app::win32 {

// Runs until WM_QUIT; returns its exit code.
int RunMessageLoop(HWND dialogWindow);

// Dispatches the messages waiting now and serves the runtime's main-thread queue. Returns
// false when WM_QUIT came; it is posted again so that the loop still ends.
bool DispatchWaitingMessages(HWND dialogWindow);

} // namespace app::win32
