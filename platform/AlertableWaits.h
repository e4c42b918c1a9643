// Completion routines queued for one particular thread and run only inside that thread's
// alertable wait, as the platform runs the routines of overlapped I/O. For backends that
// emulate overlapped reads.
#pragma once

#include "platform/PlatformTypes.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace platform {

class TAlertableWaits {
public:
    using TCompletion = std::function<void()>;

    TAlertableWaits() = default;
    TAlertableWaits(const TAlertableWaits&) = delete;
    TAlertableWaits& operator=(const TAlertableWaits&) = delete;

    // Queues completion for thread and wakes that thread if it waits alertably.
    void Queue(std::thread::id thread, TCompletion completion);

    // SleepEx for the calling thread. Alertable: runs every completion queued for the thread
    // (at once, or as soon as one is queued within milliseconds) and returns
    // WAIT_IO_COMPLETION; returns 0 when the time passes without one. Not alertable: sleeps
    // and returns 0, leaving the completions queued. Alertable INFINITE waits without a time
    // limit; a plain INFINITE sleep, which would never end, returns 0 at once.
    DWORD SleepEx(DWORD milliseconds, bool alertable);

    // Completions waiting for thread.
    std::size_t QueuedFor(std::thread::id thread) const;

    // Whether thread is inside an alertable wait now.
    bool IsWaiting(std::thread::id thread) const;

private:
    struct TSlot {
        std::deque<TCompletion> queue;
        std::condition_variable wake;
        int waiters = 0;
    };

    TSlot& SlotFor(std::thread::id thread);
    void ForgetIfIdle(std::thread::id thread);

    mutable std::mutex mutex_;
    std::unordered_map<std::thread::id, std::unique_ptr<TSlot>> slots_;
};

} // namespace platform
