#include "runtime/MainThreadQueue.h"
#include "tests/platform/sim/SimBusFixture.h"

#include <thread>
#include <tuple>
#include <vector>

namespace platform::sim::testing {
namespace {

using ::testing::ElementsAre;
using TMessage = std::tuple<UINT, WPARAM, LPARAM>;

const TMessage kDeviceChange{WM_DEVICECHANGE, kDbtDevnodesChanged, 0};

class NotificationTest : public SimBusTest {
protected:
    void SetUp() override {
        runtime::ServeMainThreadQueue(); // nothing from earlier tests
        window = Bus().CreateNotifyWindow(Recorder(received));
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        if (window != nullptr) {
            Bus().DestroyWindow(window);
        }
        SimBusTest::TearDown();
    }

    static WindowProcedure Recorder(std::vector<TMessage>& into) {
        return [&into](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            into.emplace_back(message, wParam, lParam);
            return 0;
        };
    }

    std::vector<TMessage> received;
    HWND window = nullptr;
};

TEST_F(NotificationTest, PlugAndUnplugReachTheWindowWhenTheQueueIsServed) {
    const TSimDeviceId device = Bus().Plug();
    EXPECT_THAT(received, ::testing::IsEmpty());
    runtime::ServeMainThreadQueue();
    EXPECT_THAT(received, ElementsAre(kDeviceChange));

    Bus().Unplug(device);
    runtime::ServeMainThreadQueue();
    EXPECT_THAT(received, ElementsAre(kDeviceChange, kDeviceChange));
}

TEST_F(NotificationTest, EveryWindowHearsTheBroadcast) {
    std::vector<TMessage> second;
    const HWND other = Bus().CreateNotifyWindow(Recorder(second));
    Bus().Plug();
    runtime::ServeMainThreadQueue();
    EXPECT_THAT(received, ElementsAre(kDeviceChange));
    EXPECT_THAT(second, ElementsAre(kDeviceChange));
    Bus().DestroyWindow(other);
}

TEST_F(NotificationTest, PopulationCanChangeWithoutABroadcast) {
    const TSimDeviceId device = Bus().Plug(TSimDeviceConfig{}, TBroadcast::No);
    Bus().Unplug(device, TBroadcast::No);
    EXPECT_EQ(runtime::ServeMainThreadQueue(), 0u);
    EXPECT_THAT(received, ::testing::IsEmpty());

    Bus().BroadcastDeviceChange();
    runtime::ServeMainThreadQueue();
    EXPECT_THAT(received, ElementsAre(kDeviceChange));
}

TEST_F(NotificationTest, PostedMessageArrivesWhenServedAndNotBefore) {
    EXPECT_TRUE(Bus().PostMessageA(window, WM_DEVICECHANGE, kDbtDevnodesChanged, -1));
    EXPECT_THAT(received, ::testing::IsEmpty());
    runtime::ServeMainThreadQueue();
    EXPECT_THAT(received, ElementsAre(TMessage{WM_DEVICECHANGE, kDbtDevnodesChanged, -1}));
}

TEST_F(NotificationTest, MessageForAWindowDestroyedMeanwhileIsDropped) {
    Bus().PostMessageA(window, WM_DEVICECHANGE, kDbtDevnodesChanged, -1);
    Bus().Plug();
    ASSERT_TRUE(Bus().DestroyWindow(window));
    window = nullptr;
    runtime::ServeMainThreadQueue();
    EXPECT_THAT(received, ::testing::IsEmpty());
    EXPECT_EQ(Bus().WindowCount(), 0u);
}

TEST_F(NotificationTest, PostingToAWindowThatIsGoneFails) {
    const HWND gone = window;
    Bus().DestroyWindow(window);
    window = nullptr;
    EXPECT_FALSE(Bus().PostMessageA(gone, WM_DEVICECHANGE, kDbtDevnodesChanged, -1));
    EXPECT_EQ(Bus().GetLastError(), 1400u); // ERROR_INVALID_WINDOW_HANDLE
    EXPECT_FALSE(Bus().DestroyWindow(gone));
    EXPECT_THAT(TakeViolations(), ElementsAre(::testing::HasSubstr("is not a window")));
}

TEST_F(NotificationTest, OnlyTheCreatingThreadMayDestroyAWindow) {
    BOOL destroyed = TRUE;
    DWORD error = 0;
    std::thread other([&] {
        destroyed = Bus().DestroyWindow(window);
        error = Bus().GetLastError();
    });
    other.join();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(error, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Bus().WindowCount(), 1u);
}

TEST_F(NotificationTest, MessagesOfABusThatIsGoneAreDropped) {
    std::vector<TMessage> late;
    {
        TSimBus bus;
        const HWND other = bus.CreateNotifyWindow(Recorder(late));
        bus.Plug();
        bus.PostMessageA(other, WM_DEVICECHANGE, kDbtDevnodesChanged, -1);
    }
    runtime::ServeMainThreadQueue();
    EXPECT_THAT(late, ::testing::IsEmpty());
}

} // namespace
} // namespace platform::sim::testing
