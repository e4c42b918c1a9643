#include "runtime/Thread.h"

#include "runtime/MainThreadQueue.h"
#include "runtime/ThreadStartFailures.h"

#include <cassert>
#include <system_error>
#include <utility>

namespace runtime {

namespace {

std::atomic<int> threadStartsToFail{0};

// A new system thread running body; throws std::system_error when none can be created.
template <class Body> std::thread StartSystemThread(Body body) {
    int left = threadStartsToFail.load();
    while (left > 0) {
        if (threadStartsToFail.compare_exchange_weak(left, left - 1)) {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                    "thread start failed");
        }
    }
    return std::thread(std::move(body));
}

} // namespace

void FailNextThreadStarts(int count) {
    threadStartsToFail.store(count);
}

TThread::~TThread() {
    if (started_ && !freeOnTerminate_) {
        Stop(); // a free-on-terminate thread is ending on itself here
    }
}

void TThread::Stop() noexcept {
    Terminate();
    WaitFor(); // serves only hand-overs, whose exceptions go back to their threads
}

void TThread::Resume() {
    if (started_) {
        return;
    }
    // Marked only once the thread exists: a thread that never ran must not be waited for.
    thread_ = StartSystemThread([this] { Run(); });
    started_ = true;
}

void TThread::Terminate() noexcept {
    {
        std::lock_guard guard(lock_);
        terminated_.store(true);
    }
    terminatedCv_.notify_all();
}

bool TThread::PauseUnlessTerminated(std::chrono::milliseconds timeout) {
    std::unique_lock guard(lock_);
    paused_.store(true);
    const bool terminated =
        terminatedCv_.wait_for(guard, timeout, [this] { return terminated_.load(); });
    paused_.store(false);
    return terminated;
}

void TThread::WaitFor() {
    if (!started_) {
        return;
    }
    assert(thread_.get_id() != std::this_thread::get_id() && "a thread cannot wait for itself");
    if (thread_.get_id() == std::this_thread::get_id()) {
        return;
    }
    if (IsMainThread()) {
        ServeSentCallsUntil([this] { return finished_.load(); });
    } else {
        std::unique_lock guard(lock_);
        finishedCv_.wait(guard, [this] { return finished_.load(); });
    }
    Join();
}

std::exception_ptr TThread::FatalException() const noexcept {
    return finished_.load() ? fatal_ : nullptr;
}

void TThread::StartFreeOnTerminate(std::unique_ptr<TThread> thread) {
    assert(thread && !thread->started_);
    // Released before the start: the thread may end and destroy itself before this returns.
    TThread* self = thread.release();
    self->freeOnTerminate_ = true;
    self->started_ = true;
    try {
        StartSystemThread([self] { self->Run(); }).detach();
    } catch (...) {
        self->started_ = false;
        self->freeOnTerminate_ = false;
        thread.reset(self); // never ran: destroyed here
        throw;
    }
}

void TThread::Synchronize(const std::function<void()>& call) {
    SendToMainThread(call);
}

void TThread::Run() noexcept {
    try {
        Execute();
    } catch (...) {
        fatal_ = std::current_exception();
    }
    if (freeOnTerminate_) {
        finished_.store(true);
        const std::unique_ptr<TThread> self(this);
        return;
    }
    {
        std::lock_guard guard(lock_);
        finished_.store(true);
    }
    // The waiter joins before it may destroy this object, so these are still safe.
    finishedCv_.notify_all();
    WakeMainThreadWaiters();
}

void TThreadStopper::operator()(TThread* thread) const {
    const std::unique_ptr<TThread> owned(thread);
    if (owned && owned->started_ && !owned->freeOnTerminate_) {
        owned->Stop();
    }
}

void TThread::Join() {
    std::lock_guard guard(joinLock_);
    if (thread_.joinable()) {
        thread_.join();
    }
}

} // namespace runtime
