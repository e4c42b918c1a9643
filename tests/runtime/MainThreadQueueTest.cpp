#include "runtime/MainThreadQueue.h"

#include "MainThreadFixture.h"
#include "runtime/Pump.h"

#include <atomic>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace runtime::test {
namespace {

using ::testing::ElementsAre;

using MainThreadQueueTest = MainThreadFixture;

TEST_F(MainThreadQueueTest, PostedCallsRunOnTheMainThreadInTheOrderQueued) {
    constexpr int kCalls = 500;
    std::vector<int> order; // main thread only
    std::vector<bool> onMain;
    std::jthread worker([&] {
        for (int i = 0; i < kCalls; ++i) {
            PostToMainThread([&order, &onMain, i] {
                order.push_back(i);
                onMain.push_back(IsMainThread());
            });
        }
    });
    ASSERT_TRUE(PumpUntil([&] { return order.size() == kCalls; }));
    worker.join();
    for (int i = 0; i < kCalls; ++i) {
        ASSERT_EQ(order[i], i);
        ASSERT_TRUE(onMain[i]);
    }
}

TEST_F(MainThreadQueueTest, ServeRunsOnlyWhatWasWaitingWhenItStarted) {
    std::vector<std::string> ran;
    PostToMainThread([&] {
        ran.push_back("first");
        PostToMainThread([&] { ran.push_back("queued meanwhile"); });
    });
    EXPECT_EQ(ServeMainThreadQueue(), 1U);
    EXPECT_THAT(ran, ElementsAre("first"));
    EXPECT_EQ(ServeMainThreadQueue(), 1U);
    EXPECT_THAT(ran, ElementsAre("first", "queued meanwhile"));
}

TEST_F(MainThreadQueueTest, ReentrantServeKeepsOrderAndRunsEachCallOnce) {
    std::vector<std::string> ran;
    PostToMainThread([&] {
        ran.push_back("a");
        // A handler that pumps messages: it takes the calls behind it.
        ServeMainThreadQueue();
        ran.push_back("a done");
    });
    PostToMainThread([&] { ran.push_back("b"); });
    PostToMainThread([&] {
        ran.push_back("c");
        SendToMainThread([&] { ran.push_back("c sends inline"); });
    });
    ServeMainThreadQueue();
    EXPECT_THAT(ran, ElementsAre("a", "b", "c", "c sends inline", "a done"));
    EXPECT_EQ(PendingMainThreadCalls(), 0U);
}

TEST_F(MainThreadQueueTest, SendOnTheMainThreadRunsAtOnce) {
    bool ran = false;
    SendToMainThread([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(PendingMainThreadCalls(), 0U);
}

TEST_F(MainThreadQueueTest, SendBlocksTheCallerUntilTheCallHasReturned) {
    QueuedCalls queued;
    int value = 0; // plain: the sender reading it races unless Send really waits
    std::atomic<bool> senderReturned{false};
    int seenBySender = -1;
    bool ranOnMain = false;
    bool senderWasBlocked = false;
    std::jthread sender([&] {
        SendToMainThread([&] {
            ranOnMain = IsMainThread();
            // Keep the call open across a nested serve: the sender must stay blocked.
            PostToMainThread([] {});
            ServeMainThreadQueue();
            senderWasBlocked = !senderReturned.load();
            value = 42;
        });
        senderReturned = true;
        seenBySender = value;
    });
    ASSERT_TRUE(queued.WaitFor(1));
    EXPECT_FALSE(senderReturned.load()); // queued, not served yet
    ASSERT_TRUE(PumpUntil([&] { return senderReturned.load(); }));
    sender.join();
    EXPECT_TRUE(ranOnMain);
    EXPECT_TRUE(senderWasBlocked);
    EXPECT_EQ(seenBySender, 42);
}

TEST_F(MainThreadQueueTest, ExceptionOfASentCallReachesTheSenderAndTheQueueGoesOn) {
    std::string caught;
    int afterwards = 0;
    std::atomic<bool> done{false};
    std::jthread sender([&] {
        try {
            SendToMainThread([] { throw std::runtime_error("handler failed"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        SendToMainThread([&] { ++afterwards; });
        done = true;
    });
    ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
    sender.join();
    EXPECT_EQ(caught, "handler failed");
    EXPECT_EQ(afterwards, 1);
}

TEST_F(MainThreadQueueTest, ExceptionOfAPostedCallLeavesTheCallsBehindItQueued) {
    std::vector<int> ran;
    PostToMainThread([] { throw std::logic_error("posted"); });
    PostToMainThread([&] { ran.push_back(2); });
    EXPECT_THROW(ServeMainThreadQueue(), std::logic_error);
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(ServeMainThreadQueue(), 1U);
    EXPECT_THAT(ran, ElementsAre(2));
}

TEST_F(MainThreadQueueTest, ManySendersAtOnceEachCallRunsOnceOnTheMainThread) {
    constexpr int kThreads = 8;
    constexpr int kCallsEach = 200;
    std::vector<int> counts(kThreads, 0); // written on the main thread only
    std::atomic<int> offMain{0};
    std::atomic<int> finished{0};
    std::vector<std::jthread> senders;
    for (int t = 0; t < kThreads; ++t) {
        senders.emplace_back([&, t] {
            for (int i = 0; i < kCallsEach; ++i) {
                SendToMainThread([&, t] {
                    if (!IsMainThread()) {
                        ++offMain;
                    }
                    ++counts[t];
                });
            }
            ++finished;
        });
    }
    ASSERT_TRUE(PumpUntil([&] { return finished.load() == kThreads; }));
    senders.clear();
    EXPECT_EQ(offMain.load(), 0);
    EXPECT_THAT(counts, ::testing::Each(kCallsEach));
}

TEST_F(MainThreadQueueTest, WakeHookRunsOnTheQueuingThreadOutsideTheQueueLock) {
    std::atomic<int> wakes{0};
    std::atomic<bool> hookOnMain{true};
    std::atomic<std::size_t> pendingSeenByHook{0};
    SetWakeHook([&] {
        // Taking the queue lock here would deadlock if the hook ran under it.
        pendingSeenByHook = PendingMainThreadCalls();
        hookOnMain = IsMainThread();
        ++wakes;
    });
    std::jthread([] { PostToMainThread([] {}); }).join();
    EXPECT_EQ(wakes.load(), 1);
    EXPECT_FALSE(hookOnMain.load());
    EXPECT_EQ(pendingSeenByHook.load(), 1U);
    SetWakeHook({});
    PostToMainThread([] {});
    EXPECT_EQ(wakes.load(), 1);
    EXPECT_EQ(ServeMainThreadQueue(), 2U);
}

TEST_F(MainThreadQueueTest, WaitAndServeReturnsWhenACallArrivesOrTheTimeoutPasses) {
    EXPECT_EQ(WaitAndServeMainThreadQueue(std::chrono::milliseconds(1)), 0U);
    bool ran = false;
    std::jthread poster([&] { PostToMainThread([&] { ran = true; }); });
    std::size_t served = 0;
    while (served == 0) {
        served = WaitAndServeMainThreadQueue(std::chrono::seconds(10));
    }
    EXPECT_TRUE(ran);
}

TEST_F(MainThreadQueueTest, ServeUntilWakesForAConditionChangedWithoutAQueuedCall) {
    std::atomic<bool> flag{false};
    std::jthread setter([&] {
        flag = true;
        WakeMainThreadWaiters();
    });
    // No poll interval: only the wake can end this wait early.
    EXPECT_TRUE(ServeMainThreadQueueUntil([&] { return flag.load(); }, std::chrono::minutes(1)));
    EXPECT_FALSE(ServeMainThreadQueueUntil([] { return false; }, std::chrono::milliseconds(1)));
}

} // namespace
} // namespace runtime::test
