#include "platform/AlertableWaits.h"

#include <chrono>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace platform {
namespace {

using ::testing::ElementsAre;

TEST(AlertableWaitsTest, QueuedCompletionsRunInOrderInTheNextAlertableWait) {
    TAlertableWaits waits;
    std::vector<int> ran;
    const auto self = std::this_thread::get_id();
    waits.Queue(self, [&] { ran.push_back(1); });
    waits.Queue(self, [&] { ran.push_back(2); });
    EXPECT_EQ(waits.QueuedFor(self), 2u);

    EXPECT_EQ(waits.SleepEx(0, false), 0u);
    EXPECT_THAT(ran, ::testing::IsEmpty());
    EXPECT_EQ(waits.SleepEx(INFINITE, true), WAIT_IO_COMPLETION);
    EXPECT_THAT(ran, ElementsAre(1, 2));
    EXPECT_EQ(waits.QueuedFor(self), 0u);
}

TEST(AlertableWaitsTest, CompletionsOfAnotherThreadAreNotRunHere) {
    TAlertableWaits waits;
    bool ran = false;
    std::thread other([] {});
    const auto otherId = other.get_id();
    other.join();
    waits.Queue(otherId, [&] { ran = true; });
    EXPECT_EQ(waits.SleepEx(1, true), 0u);
    EXPECT_FALSE(ran);
    EXPECT_EQ(waits.QueuedFor(otherId), 1u);
}

TEST(AlertableWaitsTest, QueueingWakesASleeper) {
    TAlertableWaits waits;
    DWORD slept = 0;
    std::thread::id ranOn;
    std::thread sleeper([&] { slept = waits.SleepEx(INFINITE, true); });
    const auto id = sleeper.get_id();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!waits.IsWaiting(id) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(waits.IsWaiting(id));
    waits.Queue(id, [&] { ranOn = std::this_thread::get_id(); });
    sleeper.join();
    EXPECT_EQ(slept, WAIT_IO_COMPLETION);
    EXPECT_EQ(ranOn, id);
}

TEST(AlertableWaitsTest, CompletionMayQueueTheNextForItsOwnThread) {
    TAlertableWaits waits;
    const auto self = std::this_thread::get_id();
    int second = 0;
    waits.Queue(self, [&] { waits.Queue(self, [&] { ++second; }); });
    EXPECT_EQ(waits.SleepEx(0, true), WAIT_IO_COMPLETION);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(waits.SleepEx(0, true), WAIT_IO_COMPLETION);
    EXPECT_EQ(second, 1);
}

} // namespace
} // namespace platform
