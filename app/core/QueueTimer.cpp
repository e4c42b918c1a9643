#include "app/core/QueueTimer.h"

#include "runtime/MainThreadQueue.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace app {

// The owner is touched on the main thread only (posted ticks run there, and so does the
// destructor), so a tick that arrives after the timer is gone finds no owner.
struct TQueueTimer::TShared {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    TQueueTimer* owner = nullptr;
};

TQueueTimer::TQueueTimer() : shared(std::make_shared<TShared>()) {
    shared->owner = this;
}

TQueueTimer::~TQueueTimer() {
    StopTicking();
    shared->owner = nullptr;
}

void TQueueTimer::StartTicking(int intervalMs) {
    StopTicking();
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->stop = false;
    }
    ticker = std::thread([state = shared, period = std::chrono::milliseconds(intervalMs)] {
        auto next = std::chrono::steady_clock::now() + period;
        std::unique_lock<std::mutex> lock(state->mutex);
        while (!state->wake.wait_until(lock, next, [&] { return state->stop; })) {
            next += period;
            runtime::PostToMainThread([state] {
                if (state->owner != nullptr) {
                    state->owner->Tick();
                }
            });
        }
    });
}

void TQueueTimer::StopTicking() {
    if (!ticker.joinable()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->stop = true;
    }
    shared->wake.notify_all();
    ticker.join();
}

} // namespace app
