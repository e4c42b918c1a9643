// The wait loop where every event comes through the main-thread queue (Linux).
#include "app/cli/WaitLoop.h"
#include "runtime/MainThreadQueue.h"

#include <algorithm>

namespace cli {

TWaitLoop::TWaitLoop() {
    runtime::SetMainThread();
}

TWaitLoop::~TWaitLoop() = default;

bool TWaitLoop::ServeUntil(const std::function<bool()>& done, TDeadline deadline) {
    if (!deadline) {
        runtime::ServeMainThreadQueueUntil(done);
        return true;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
    return runtime::ServeMainThreadQueueUntil(done, std::max(left, std::chrono::milliseconds(0)));
}

void TWaitLoop::ServePending() {
    runtime::ServeMainThreadQueue();
}

void WakeWaitLoop() {
    runtime::WakeMainThreadWaiters();
}

} // namespace cli
