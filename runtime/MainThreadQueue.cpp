#include "runtime/MainThreadQueue.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace runtime {
namespace {

// A sending thread waits on its own state; the main thread signals it under the state's
// lock so that the sender cannot return (and free the state) before the signal is done.
struct SendState {
    const std::function<void()>* call = nullptr;
    std::mutex lock;
    std::condition_variable cv;
    bool done = false;
    std::exception_ptr error;
};

struct Entry {
    std::uint64_t seq = 0;
    std::function<void()> posted;
    SendState* sent = nullptr;
};

using Hook = std::shared_ptr<const std::function<void()>>;

struct Queue {
    std::atomic<std::thread::id> mainThread{};
    std::mutex lock;
    std::condition_variable cv; // a call was queued, or a waiter's condition may hold
    std::deque<Entry> entries;
    std::size_t sentWaiting = 0; // entries that are sent calls
    std::uint64_t nextSeq = 0;
    std::uint64_t wakeCount = 0;
    Hook wakeHook;
};

Queue& TheQueue() {
    static Queue queue;
    return queue;
}

// The first thread to get here becomes the main thread if none was marked.
Queue& Claim() {
    Queue& q = TheQueue();
    auto none = std::thread::id{};
    q.mainThread.compare_exchange_strong(none, std::this_thread::get_id());
    return q;
}

void Enqueue(Queue& q, Entry entry) {
    Hook hook;
    {
        std::lock_guard guard(q.lock);
        entry.seq = q.nextSeq++;
        if (entry.sent != nullptr) {
            ++q.sentWaiting;
        }
        q.entries.push_back(std::move(entry));
        hook = q.wakeHook;
    }
    q.cv.notify_all();
    if (hook && *hook) {
        (*hook)();
    }
}

void Run(Entry& entry) {
    if (entry.sent == nullptr) {
        entry.posted();
        return;
    }
    SendState& state = *entry.sent;
    try {
        (*state.call)();
    } catch (...) {
        state.error = std::current_exception();
    }
    std::lock_guard guard(state.lock);
    state.done = true;
    state.cv.notify_one();
}

enum class Calls { All, SentOnly };

// Takes the first waiting call of the kind wanted that was queued before limit.
std::optional<Entry> TakeNext(Queue& q, std::uint64_t limit, Calls calls) {
    std::lock_guard guard(q.lock);
    auto next = q.entries.begin();
    if (calls == Calls::SentOnly) {
        next = std::find_if(q.entries.begin(), q.entries.end(),
                            [](const Entry& entry) { return entry.sent != nullptr; });
    }
    if (next == q.entries.end() || next->seq >= limit) {
        return std::nullopt;
    }
    Entry entry = std::move(*next);
    q.entries.erase(next);
    if (entry.sent != nullptr) {
        --q.sentWaiting;
    }
    return entry;
}

// Runs the calls queued before limit, one at a time, so that a call may queue more or
// serve the queue itself: a nested serve takes the next ones in order.
std::size_t ServeBefore(Queue& q, std::uint64_t limit, Calls calls) {
    std::size_t ran = 0;
    while (std::optional<Entry> entry = TakeNext(q, limit, calls)) {
        ++ran;
        Run(*entry); // a posted call's exception leaves here; the rest stay queued
    }
    return ran;
}

std::size_t ServeNow(Queue& q, Calls calls = Calls::All) {
    std::uint64_t limit = 0;
    {
        std::lock_guard guard(q.lock);
        limit = q.nextSeq;
    }
    return ServeBefore(q, limit, calls);
}

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

bool ServeUntil(Queue& q, const std::function<bool()>& done, Deadline deadline,
                Calls calls = Calls::All) {
    for (;;) {
        std::uint64_t wakes = 0;
        {
            std::lock_guard guard(q.lock);
            wakes = q.wakeCount;
        }
        ServeNow(q, calls);
        // A waker changes the state and then bumps wakeCount; with the count taken before
        // done() is tested, no wake-up can fall between the test and the wait.
        if (done()) {
            return true;
        }
        std::unique_lock guard(q.lock);
        const auto woken = [&] {
            const bool waiting = calls == Calls::All ? !q.entries.empty() : q.sentWaiting > 0;
            return waiting || q.wakeCount != wakes;
        };
        if (!deadline) {
            q.cv.wait(guard, woken);
        } else if (!q.cv.wait_until(guard, *deadline, woken)) {
            guard.unlock();
            ServeNow(q, calls);
            return done();
        }
    }
}

} // namespace

void SetMainThread() {
    TheQueue().mainThread.store(std::this_thread::get_id());
}

bool IsMainThread() {
    return Claim().mainThread.load() == std::this_thread::get_id();
}

void SetWakeHook(std::function<void()> hook) {
    Queue& q = Claim();
    Hook next = hook ? std::make_shared<const std::function<void()>>(std::move(hook)) : nullptr;
    std::lock_guard guard(q.lock);
    q.wakeHook = std::move(next);
}

void PostToMainThread(std::function<void()> call) {
    Queue& q = Claim();
    Entry entry;
    entry.posted = std::move(call);
    Enqueue(q, std::move(entry));
}

void SendToMainThread(const std::function<void()>& call) {
    Queue& q = Claim();
    if (q.mainThread.load() == std::this_thread::get_id()) {
        call();
        return;
    }
    SendState state;
    state.call = &call;
    Entry entry;
    entry.sent = &state;
    Enqueue(q, std::move(entry));
    std::unique_lock guard(state.lock);
    state.cv.wait(guard, [&] { return state.done; });
    if (state.error) {
        std::rethrow_exception(state.error);
    }
}

std::size_t ServeMainThreadQueue() {
    assert(IsMainThread());
    return ServeNow(Claim());
}

std::size_t WaitAndServeMainThreadQueue(std::chrono::milliseconds timeout) {
    assert(IsMainThread());
    Queue& q = Claim();
    {
        std::unique_lock guard(q.lock);
        q.cv.wait_for(guard, timeout, [&] { return !q.entries.empty(); });
    }
    return ServeNow(q);
}

bool ServeMainThreadQueueUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout) {
    assert(IsMainThread());
    return ServeUntil(Claim(), done, std::chrono::steady_clock::now() + timeout);
}

void ServeMainThreadQueueUntil(const std::function<bool()>& done) {
    assert(IsMainThread());
    ServeUntil(Claim(), done, std::nullopt);
}

void ServeSentCallsUntil(const std::function<bool()>& done) {
    assert(IsMainThread());
    ServeUntil(Claim(), done, std::nullopt, Calls::SentOnly);
}

void WakeMainThreadWaiters() {
    Queue& q = TheQueue();
    {
        std::lock_guard guard(q.lock);
        ++q.wakeCount;
    }
    q.cv.notify_all();
}

std::size_t PendingMainThreadCalls() {
    Queue& q = TheQueue();
    std::lock_guard guard(q.lock);
    return q.entries.size();
}

} // namespace runtime
