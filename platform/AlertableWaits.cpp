#include "platform/AlertableWaits.h"

#include <chrono>
#include <utility>

namespace platform {

TAlertableWaits::TSlot& TAlertableWaits::SlotFor(std::thread::id thread) {
    auto& slot = slots_[thread];
    if (!slot) {
        slot = std::make_unique<TSlot>();
    }
    return *slot;
}

// Slots of threads that have nothing queued and do not wait are dropped, so that threads
// that come and go leave nothing behind.
void TAlertableWaits::ForgetIfIdle(std::thread::id thread) {
    const auto found = slots_.find(thread);
    if (found != slots_.end() && found->second->queue.empty() && found->second->waiters == 0) {
        slots_.erase(found);
    }
}

void TAlertableWaits::Queue(std::thread::id thread, TCompletion completion) {
    std::lock_guard lock(mutex_);
    TSlot& slot = SlotFor(thread);
    slot.queue.push_back(std::move(completion));
    slot.wake.notify_all();
}

DWORD TAlertableWaits::SleepEx(DWORD milliseconds, bool alertable) {
    if (!alertable) {
        if (milliseconds != INFINITE) {
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        }
        return 0;
    }
    const auto self = std::this_thread::get_id();
    std::deque<TCompletion> due;
    {
        std::unique_lock lock(mutex_);
        TSlot& slot = SlotFor(self);
        ++slot.waiters;
        const auto ready = [&slot] {
            return !slot.queue.empty();
        };
        if (milliseconds == INFINITE) {
            slot.wake.wait(lock, ready);
        } else {
            slot.wake.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
        }
        --slot.waiters;
        due.swap(slot.queue);
        ForgetIfIdle(self);
    }
    if (due.empty()) {
        return 0;
    }
    // The routines run without the lock: they may start the next read at once.
    for (auto& completion : due) {
        completion();
    }
    return WAIT_IO_COMPLETION;
}

std::size_t TAlertableWaits::QueuedFor(std::thread::id thread) const {
    std::lock_guard lock(mutex_);
    const auto found = slots_.find(thread);
    return found == slots_.end() ? 0 : found->second->queue.size();
}

bool TAlertableWaits::IsWaiting(std::thread::id thread) const {
    std::lock_guard lock(mutex_);
    const auto found = slots_.find(thread);
    return found != slots_.end() && found->second->waiters > 0;
}

} // namespace platform
