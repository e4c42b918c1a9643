// A thread object: created suspended, started by Resume(), asked to stop by Terminate()
// and awaited by WaitFor(). Synchronize() hands a call to the main thread and blocks until
// it has returned there; the main thread serves such hand-overs while it waits in WaitFor(),
// so stopping a thread whose hand-over is pending cannot deadlock. Calls posted to the main
// thread are not served there: they wait for the main loop.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace runtime {

class TThread {
public:
    TThread() = default;
    // A thread that was resumed is terminated and awaited; one never resumed never runs.
    // That happens after the derived class's destructor: a derived class whose Execute
    // uses its own members is held in a TThreadPtr, or stops the thread in its own
    // destructor (Terminate, WaitFor), so that the thread ends before those members go.
    virtual ~TThread();

    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    TThread(TThread&&) = delete;
    TThread& operator=(TThread&&) = delete;

    // Starts Execute on a new thread. Only the first call that starts one has an effect.
    // When the system cannot start a thread, std::system_error leaves here and the object
    // stays suspended (a later Resume may try again).
    void Resume();

    // Also ends a PauseUnlessTerminated of the thread at once.
    void Terminate() noexcept;
    [[nodiscard]] bool Terminated() const noexcept { return terminated_.load(); }

    // Blocks until Execute has returned (at once if the thread never started). On the main
    // thread it serves the hand-overs of every thread meanwhile (Synchronize,
    // SendToMainThread), but no posted call. Not from the thread itself, nor from inside one
    // of its hand-overs.
    void WaitFor();

    [[nodiscard]] bool Finished() const noexcept { return finished_.load(); }
    // Whether the thread waits in PauseUnlessTerminated now.
    [[nodiscard]] bool Paused() const noexcept { return paused_.load(); }

    // What escaped Execute, once the thread has finished; null otherwise. The thread still
    // ends cleanly when Execute (or a hand-over's handler) throws.
    [[nodiscard]] std::exception_ptr FatalException() const noexcept;

    // False: the owner destroys the thread object. True only through StartFreeOnTerminate.
    [[nodiscard]] bool FreeOnTerminate() const noexcept { return freeOnTerminate_; }

    // Starts a thread that owns itself and is destroyed on its own thread after Execute.
    // Nobody may touch it after this call. When the system cannot start a thread, the
    // object is destroyed here and std::system_error leaves.
    static void StartFreeOnTerminate(std::unique_ptr<TThread> thread);

protected:
    virtual void Execute() = 0;

    // Runs call on the main thread and returns once it has returned there (inline when
    // called on the main thread). An exception from call is rethrown here. The call must
    // not stop this thread (WaitFor would wait for the call's own caller).
    void Synchronize(const std::function<void()>& call);

    // From the thread itself: waits until timeout has passed or the thread is asked to
    // terminate, whichever comes first; returns Terminated().
    bool PauseUnlessTerminated(std::chrono::milliseconds timeout);

private:
    friend struct TThreadStopper;

    void Stop() noexcept;
    void Run() noexcept;
    void Join();

    std::thread thread_;
    bool started_ = false;
    bool freeOnTerminate_ = false;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> paused_{false};
    std::exception_ptr fatal_; // set by the thread before finished_
    int handingOver_ = 0;      // main thread only: this thread's hand-overs now running
    std::mutex lock_;
    std::condition_variable finishedCv_;
    std::condition_variable terminatedCv_;
    std::mutex joinLock_;
};

// Destroys a thread only after stopping it (terminate, wait), before any destructor runs.
struct TThreadStopper {
    void operator()(TThread* thread) const;
};

using TThreadPtr = std::unique_ptr<TThread, TThreadStopper>;

template <class T, class... Args> std::unique_ptr<T, TThreadStopper> MakeThread(Args&&... args) {
    return std::unique_ptr<T, TThreadStopper>(
        std::make_unique<T>(std::forward<Args>(args)...).release());
}

} // namespace runtime
