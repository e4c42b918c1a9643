#include "runtime/Thread.h"

#include "MainThreadFixture.h"
#include "runtime/MainThreadQueue.h"
#include "runtime/Pump.h"
#include "runtime/ThreadStartFailures.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace runtime::test {
namespace {

// Runs a body given by the test; stops itself before its members go.
class TTestThread : public TThread {
public:
    explicit TTestThread(std::function<void(TTestThread&)> body) : body_(std::move(body)) {}
    ~TTestThread() override {
        Terminate();
        WaitFor();
    }
    using TThread::PauseUnlessTerminated;
    using TThread::Synchronize;

protected:
    void Execute() override { body_(*this); }

private:
    std::function<void(TTestThread&)> body_;
};

using ThreadTest = MainThreadFixture;

TEST_F(ThreadTest, ANeverResumedThreadNeverRuns) {
    std::atomic<bool> ran{false};
    {
        TTestThread thread([&](TTestThread&) { ran = true; });
        EXPECT_FALSE(thread.Finished());
        thread.WaitFor(); // returns at once: nothing to wait for
    }
    EXPECT_FALSE(ran.load());
}

TEST_F(ThreadTest, WaitForReturnsAfterExecuteHasReturnedOnItsOwnThread) {
    int result = 0; // plain: reading it after WaitFor races unless WaitFor waited
    std::thread::id executedOn;
    TTestThread thread([&](TTestThread&) {
        executedOn = std::this_thread::get_id();
        result = 7;
    });
    thread.Resume();
    thread.Resume(); // only the first one starts it
    thread.WaitFor();
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(result, 7);
    EXPECT_NE(executedOn, std::this_thread::get_id());
    EXPECT_EQ(thread.FatalException(), nullptr);
    EXPECT_FALSE(thread.FreeOnTerminate());
}

TEST_F(ThreadTest, SynchronizeRunsOnTheMainThreadAndBlocksTheThreadUntilItReturns) {
    int value = 0; // plain, as above
    int seenAfterHandOver = -1;
    bool onMain = false;
    std::atomic<bool> threadPassed{false};
    bool threadWasBlocked = false;
    TTestThread thread([&](TTestThread& self) {
        self.Synchronize([&] {
            onMain = IsMainThread();
            threadWasBlocked = !threadPassed.load();
            value = 5;
        });
        threadPassed = true;
        seenAfterHandOver = value;
    });
    thread.Resume();
    thread.WaitFor();
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(threadWasBlocked);
    EXPECT_EQ(seenAfterHandOver, 5);
}

TEST_F(ThreadTest, StoppingWhileAHandOverIsPendingServesItOnceAndEnds) {
    QueuedCalls queued;
    int handled = 0;
    TTestThread thread([&](TTestThread& self) {
        while (!self.Terminated()) {
            self.Synchronize([&] { ++handled; });
        }
    });
    thread.Resume();
    ASSERT_TRUE(queued.WaitFor(1)); // the thread now waits in its first hand-over
    thread.Terminate();
    thread.WaitFor();
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(handled, 1);
}

// A message posted to the main thread while it waits for a thread must wait for the loop:
// delivered inside the wait, it would run inside whatever stopped the thread.
TEST_F(ThreadTest, WaitForServesHandOversButLeavesPostedCallsForTheLoop) {
    std::vector<std::string> ran; // main thread only
    TTestThread thread([&](TTestThread& self) {
        PostToMainThread([&] { ran.emplace_back("posted"); });
        self.Synchronize([&] { ran.emplace_back("sent"); });
        PostToMainThread([&] { ran.emplace_back("posted later"); });
    });
    thread.Resume();
    thread.WaitFor();
    EXPECT_THAT(ran, ::testing::ElementsAre("sent"));
    EXPECT_EQ(PendingMainThreadCalls(), 2U);

    EXPECT_EQ(ServeMainThreadQueue(), 2U); // the loop's serve runs them, in order
    EXPECT_THAT(ran, ::testing::ElementsAre("sent", "posted", "posted later"));
}

TEST_F(ThreadTest, DestroyingARunningThreadStopsAndAwaitsIt) {
    QueuedCalls queued;
    std::atomic<bool> executeReturned{false};
    int handled = 0;
    auto thread = std::make_unique<TTestThread>([&](TTestThread& self) {
        while (!self.Terminated()) {
            self.Synchronize([&] { ++handled; });
        }
        executeReturned = true;
    });
    thread->Resume();
    ASSERT_TRUE(queued.WaitFor(1));
    thread.reset();
    EXPECT_TRUE(executeReturned.load());
    EXPECT_EQ(handled, 1);
}

// Loops until terminated; uses its own members throughout.
class TLoopingThread : public TThread {
public:
    TLoopingThread(std::atomic<bool>& running, std::atomic<bool>& returned)
        : running_(running), returned_(returned) {}

protected:
    void Execute() override {
        running_ = true;
        while (!Terminated()) {
            std::this_thread::yield();
        }
        returned_ = true;
    }

private:
    std::atomic<bool>& running_;
    std::atomic<bool>& returned_;
};

TEST_F(ThreadTest, AThreadPointerStopsTheThreadBeforeAnyDestructorRuns) {
    std::atomic<bool> running{false};
    std::atomic<bool> returned{false};
    TThreadPtr thread = MakeThread<TLoopingThread>(running, returned);
    thread->Resume();
    ASSERT_TRUE(PumpUntil([&] { return running.load(); }));
    thread.reset();
    EXPECT_TRUE(returned.load());

    TThreadPtr neverResumed = MakeThread<TLoopingThread>(running, returned);
    running = false;
    neverResumed.reset();
    EXPECT_FALSE(running.load());
}

// Without a stop of its own: the base destructor is the last line. Execute touches no
// member of the derived class, which is gone by then.
class TBareThread : public TThread {
public:
    static inline std::atomic<bool> running{false};
    static inline std::atomic<bool> returned{false};

protected:
    void Execute() override {
        running = true;
        while (!Terminated()) {
            std::this_thread::yield();
        }
        returned = true;
    }
};

TEST_F(ThreadTest, TheBaseDestructorStopsAResumedThreadInsteadOfAborting) {
    TBareThread::running = false;
    TBareThread::returned = false;
    auto thread = std::make_unique<TBareThread>();
    thread->Resume();
    ASSERT_TRUE(PumpUntil([] { return TBareThread::running.load(); }));
    thread.reset();
    EXPECT_TRUE(TBareThread::returned.load());
}

TEST_F(ThreadTest, AThrowingHandlerEndsTheThreadCleanlyAndTheQueueGoesOn) {
    std::string caughtInThread;
    TTestThread catching([&](TTestThread& self) {
        try {
            self.Synchronize([] { throw std::runtime_error("handler"); });
        } catch (const std::runtime_error& e) {
            caughtInThread = e.what();
        }
    });
    catching.Resume();
    catching.WaitFor();
    EXPECT_EQ(caughtInThread, "handler");
    EXPECT_EQ(catching.FatalException(), nullptr);

    bool after = false;
    TTestThread uncaught([&](TTestThread& self) {
        self.Synchronize([] { throw std::runtime_error("unhandled"); });
        after = true;
    });
    uncaught.Resume();
    uncaught.WaitFor();
    EXPECT_FALSE(after);
    ASSERT_NE(uncaught.FatalException(), nullptr);
    EXPECT_THROW(std::rethrow_exception(uncaught.FatalException()), std::runtime_error);

    int handled = 0;
    TTestThread next([&](TTestThread& self) { self.Synchronize([&] { ++handled; }); });
    next.Resume();
    next.WaitFor();
    EXPECT_EQ(handled, 1);
}

TEST_F(ThreadTest, EightThreadsHandingOverAtOnceLoseNothing) {
    constexpr int kThreads = 8;
    constexpr int kHandOvers = 250;
    std::vector<int> counts(kThreads, 0); // main thread only
    int offMain = 0;
    std::vector<std::unique_ptr<TTestThread>> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.push_back(std::make_unique<TTestThread>([&, t](TTestThread& self) {
            for (int i = 0; i < kHandOvers; ++i) {
                self.Synchronize([&, t] {
                    offMain += IsMainThread() ? 0 : 1;
                    ++counts[t];
                });
            }
        }));
    }
    for (auto& thread : threads) {
        thread->Resume();
    }
    // Waiting for the first serves the others' hand-overs too.
    for (auto& thread : threads) {
        thread->WaitFor();
    }
    EXPECT_EQ(offMain, 0);
    EXPECT_THAT(counts, ::testing::Each(kHandOvers));
}

TEST_F(ThreadTest, WaitForFromAnotherThreadWaitsWithoutServing) {
    int value = 0;
    TTestThread thread([&](TTestThread&) { value = 3; });
    int seen = 0;
    thread.Resume();
    std::jthread waiter([&] {
        thread.WaitFor();
        seen = value;
    });
    waiter.join();
    EXPECT_EQ(seen, 3);
}

TEST_F(ThreadTest, SynchronizeOnTheMainThreadRunsInline) {
    int handled = 0;
    TTestThread thread([](TTestThread&) {});
    thread.Synchronize([&] { ++handled; });
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(PendingMainThreadCalls(), 0U);
}

// Destroys thread on another thread; false when that has not ended within timeout (the
// destroying thread is then left behind, blocked).
bool DestroyedWithin(std::unique_ptr<TTestThread> thread, std::chrono::milliseconds timeout) {
    auto destroyed = std::make_shared<std::promise<void>>();
    std::future<void> done = destroyed->get_future();
    std::thread([thread = std::move(thread), destroyed]() mutable {
        thread.reset();
        destroyed->set_value();
    }).detach();
    return done.wait_for(timeout) == std::future_status::ready;
}

TEST_F(ThreadTest, AThreadThatCannotStartIsNotWaitedForAndCanBeResumedLater) {
    std::atomic<int> runs{0};
    const auto body = [&](TTestThread&) {
        ++runs;
    };

    FailNextThreadStarts(1);
    auto never = std::make_unique<TTestThread>(body);
    EXPECT_THROW(never->Resume(), std::system_error);
    EXPECT_TRUE(DestroyedWithin(std::move(never), std::chrono::seconds(10)));

    FailNextThreadStarts(1);
    TTestThread later(body);
    EXPECT_THROW(later.Resume(), std::system_error);
    later.Resume();
    later.WaitFor();
    EXPECT_TRUE(later.Finished());
    EXPECT_EQ(runs.load(), 1);
}

TEST_F(ThreadTest, PauseEndsAtOnceWhenTheThreadIsTerminated) {
    std::atomic<int> pauses{0};
    TTestThread thread([&](TTestThread& self) {
        while (!self.PauseUnlessTerminated(std::chrono::hours(1))) {
            ++pauses;
        }
    });
    thread.Resume();
    ASSERT_TRUE(PumpUntil([&] { return thread.Paused(); }));
    thread.Terminate();
    // Bounded far below the hour: only the termination can end the pause in time.
    EXPECT_TRUE(PumpUntil([&] { return thread.Finished(); }, std::chrono::seconds(10)));
    EXPECT_FALSE(thread.Paused());
    EXPECT_EQ(pauses.load(), 0);
}

TEST_F(ThreadTest, APauseAskedForAfterTerminationReturnsAtOnce) {
    TTestThread thread([](TTestThread& self) {
        self.Terminate();
        (void)self.PauseUnlessTerminated(std::chrono::hours(1));
    });
    thread.Resume();
    EXPECT_TRUE(PumpUntil([&] { return thread.Finished(); }, std::chrono::seconds(10)));
}

class TSelfFreeing : public TThread {
public:
    TSelfFreeing(std::atomic<bool>& executed, std::atomic<bool>& destroyed)
        : executed_(executed), destroyed_(destroyed) {}
    ~TSelfFreeing() override { destroyed_ = true; }

protected:
    void Execute() override { executed_ = true; }

private:
    std::atomic<bool>& executed_;
    std::atomic<bool>& destroyed_;
};

TEST_F(ThreadTest, AFreeOnTerminateThreadDestroysItselfAfterExecute) {
    std::atomic<bool> executed{false};
    std::atomic<bool> destroyed{false};
    TThread::StartFreeOnTerminate(std::make_unique<TSelfFreeing>(executed, destroyed));
    ASSERT_TRUE(PumpUntil([&] { return destroyed.load(); }));
    EXPECT_TRUE(executed.load());
}

TEST_F(ThreadTest, AFreeOnTerminateThreadThatCannotStartIsDestroyedAtOnce) {
    std::atomic<bool> executed{false};
    std::atomic<bool> destroyed{false};
    FailNextThreadStarts(1);
    EXPECT_THROW(TThread::StartFreeOnTerminate(std::make_unique<TSelfFreeing>(executed, destroyed)),
                 std::system_error);
    EXPECT_TRUE(destroyed.load());
    EXPECT_FALSE(executed.load());
}

} // namespace
} // namespace runtime::test
