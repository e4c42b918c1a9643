// Tests that hand calls to the main thread: the test's thread is the main thread, and
// nothing queued by one test leaks into the next.
#pragma once

#include "runtime/MainThreadQueue.h"
#include "runtime/Pump.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <gtest/gtest.h>
#include <mutex>

namespace runtime::test {

class MainThreadFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetMainThread();
        SetWakeHook({});
        PumpPending();
    }
    void TearDown() override {
        SetWakeHook({});
        PumpPending();
        EXPECT_EQ(PendingMainThreadCalls(), 0U);
    }
};

// Counts the calls queued for the main thread, through the wake hook, so that a test can
// wait until a worker's call is waiting without serving it.
class QueuedCalls {
public:
    QueuedCalls() {
        SetWakeHook([this] {
            std::lock_guard guard(lock_);
            ++count_;
            cv_.notify_all();
        });
    }
    ~QueuedCalls() { SetWakeHook({}); }
    QueuedCalls(const QueuedCalls&) = delete;
    QueuedCalls& operator=(const QueuedCalls&) = delete;

    bool WaitFor(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock guard(lock_);
        return cv_.wait_for(guard, timeout, [&] { return count_ >= count; });
    }

private:
    std::mutex lock_;
    std::condition_variable cv_;
    std::size_t count_ = 0;
};

} // namespace runtime::test
