#include "runtime/Pump.h"

#include "runtime/MainThreadQueue.h"

#include <algorithm>

namespace runtime {

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds poll) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= std::chrono::milliseconds::zero()) {
            ServeMainThreadQueue();
            return done();
        }
        if (ServeMainThreadQueueUntil(done, std::min(left, poll))) {
            return true;
        }
    }
}

std::size_t PumpPending(std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    std::size_t ran = 0;
    do {
        ran += ServeMainThreadQueue();
    } while (PendingMainThreadCalls() > 0 && Clock::now() < deadline);
    return ran;
}

} // namespace runtime
