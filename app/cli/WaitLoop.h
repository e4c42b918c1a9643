// The command line's event loop on the main thread: it serves the runtime's main-thread
// queue (read-thread hand-overs, timers, the simulated and Linux device-change messages)
// and, on Windows, the thread's window messages, where the controller's hidden window gets
// the system's device-change broadcast.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace cli {

using TDeadline = std::optional<std::chrono::steady_clock::time_point>;

class TWaitLoop {
public:
    // Makes the calling thread the main thread.
    TWaitLoop();
    ~TWaitLoop();
    TWaitLoop(const TWaitLoop&) = delete;
    TWaitLoop& operator=(const TWaitLoop&) = delete;

    // Serves until done() holds or the deadline (none: no limit) passes; returns done().
    // done() is tested after every batch served and after every WakeWaitLoop().
    bool ServeUntil(const std::function<bool()>& done, TDeadline deadline);
    // Serves what is waiting now, without waiting.
    void ServePending();
};

// Any thread: makes a ServeUntil in progress test its condition again.
void WakeWaitLoop();

} // namespace cli
