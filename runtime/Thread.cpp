#include "runtime/Thread.h"

#include "runtime/MainThreadQueue.h"

#include <cassert>
#include <utility>

namespace runtime {

TThread::~TThread() {
    if (started_ && !freeOnTerminate_) {
        Stop(); // a free-on-terminate thread is ending on itself here
    }
}

void TThread::Stop() noexcept {
    Terminate();
    for (;;) {
        try {
            WaitFor();
            return;
        } catch (...) {
            // A posted call served during the wait threw; the thread still has to end.
        }
    }
}

void TThread::Resume() {
    if (started_) {
        return;
    }
    started_ = true;
    thread_ = std::thread([this] { Run(); });
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
        ServeMainThreadQueueUntil([this] { return finished_.load(); });
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
    TThread* self = thread.release(); // Run() takes it back at the end
    self->freeOnTerminate_ = true;
    self->started_ = true;
    // Detached here: the thread may end and destroy itself before this returns.
    std::thread([self] { self->Run(); }).detach();
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
