// The process's one main-thread queue: calls that other threads (read threads, backend
// monitors) hand to the main thread. The program's main loop serves it when woken through
// the wake hook. While the main thread waits for a thread to end it serves only the
// synchronous hand-overs (sent calls): posted calls, such as device-change messages, wait
// for the loop, so none is delivered inside whatever stopped the thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

namespace runtime {

// Marks the calling thread as the main thread. The first thread that calls any function
// here becomes the main thread if none was marked.
void SetMainThread();
bool IsMainThread();

// Called from the thread that queues a call, after the call is queued, so that the main
// loop can schedule ServeMainThreadQueue (Qt: a queued invocation). Empty: no wake-up.
void SetWakeHook(std::function<void()> hook);

// Queues call for the main thread and returns at once. Calls run in the order queued.
// A posted call should not throw: if it does, the exception leaves the serve that ran
// it and the calls behind it stay queued for the next serve.
void PostToMainThread(std::function<void()> call);

// Runs call on the main thread and returns after it has returned. On the main thread
// itself it runs at once. An exception thrown by call is caught on the main thread and
// rethrown to the caller, so neither thread nor queue is left broken.
void SendToMainThread(const std::function<void()>& call);

// Main thread only: runs every call waiting now (not those queued meanwhile); returns
// how many ran. A call may post, send or serve again (a nested serve runs the next
// waiting calls, in order).
std::size_t ServeMainThreadQueue();

// Main thread only: waits until a call is waiting or timeout passes, then serves the
// queue; returns how many ran. For loops without an event loop (tests, waits).
std::size_t WaitAndServeMainThreadQueue(std::chrono::milliseconds timeout);

// Main thread only: serves the queue until done() holds or timeout passes; returns
// whether done() held. done() is tested whenever a call was queued and after
// WakeMainThreadWaiters(); whoever makes it true without queueing a call must wake.
bool ServeMainThreadQueueUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout);

// Main thread only: serves the queue until done() holds, however long that takes.
// done() must not itself wait for the main thread.
void ServeMainThreadQueueUntil(const std::function<bool()>& done);

// Main thread only: serves only sent calls (SendToMainThread), in the order queued, until
// done() holds, however long that takes; posted calls stay queued for the next serve.
// done() is tested as above.
void ServeSentCallsUntil(const std::function<bool()>& done);

// Wakes a main thread that waits in ServeMainThreadQueueUntil so that it tests its
// condition again. Any thread.
void WakeMainThreadWaiters();

// Number of calls queued and not yet started. Any thread.
std::size_t PendingMainThreadCalls();

} // namespace runtime
