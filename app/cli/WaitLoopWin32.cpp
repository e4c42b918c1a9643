// The wait loop on Windows: the controller's hidden window receives the system's
// device-change broadcast through this thread's message queue, so the loop pumps window
// messages as well as the main-thread queue, and sleeps in one wait for both.
#include "app/cli/WaitLoop.h"
#include "runtime/MainThreadQueue.h"

#include <algorithm>
#include <windows.h>

namespace cli {

namespace {

// Set by whoever queues a call for the main thread or wakes the loop. Auto-reset; it
// lives as long as the process, as the wake-ups may come from any thread at any time.
HANDLE WakeEvent() {
    static const HANDLE event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    return event;
}

void DispatchWindowMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

} // namespace

TWaitLoop::TWaitLoop() {
    runtime::SetMainThread();
    WakeEvent();
    runtime::SetWakeHook([] { ::SetEvent(WakeEvent()); });
}

TWaitLoop::~TWaitLoop() {
    runtime::SetWakeHook(nullptr);
}

bool TWaitLoop::ServeUntil(const std::function<bool()>& done, TDeadline deadline) {
    for (;;) {
        ServePending();
        if (done()) {
            return true;
        }
        DWORD timeout = INFINITE;
        if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                *deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ServePending();
                return done();
            }
            timeout = static_cast<DWORD>(
                std::min<long long>(left.count(), static_cast<long long>(INFINITE) - 1));
        }
        const HANDLE wake = WakeEvent();
        // Input already in the queue also ends the wait, not only input that arrives.
        ::MsgWaitForMultipleObjectsEx(1, &wake, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void TWaitLoop::ServePending() {
    runtime::ServeMainThreadQueue();
    DispatchWindowMessages();
    runtime::ServeMainThreadQueue();
}

void WakeWaitLoop() {
    ::SetEvent(WakeEvent());
}

} // namespace cli
