#include "app/qt/MainLoop.h"

#include "QtFormFixture.h"
#include "runtime/MainThreadQueue.h"

#include <QListWidget>
#include <QTest>
#include <atomic>
#include <thread>

namespace apptest {
namespace {

TEST(MainLoopTest, CallsFromOtherThreadsAreServedByTheEventLoop) {
    std::atomic<bool> ran{false};
    std::thread sender([&] { runtime::SendToMainThread([&] { ran = true; }); });
    // Only Qt's event processing runs here, nothing serves the queue by hand.
    EXPECT_TRUE(QTest::qWaitFor([&] { return ran.load(); }, 5000));
    sender.join();
}

TEST(MainLoopTest, ProcessingTheWaitingMessagesServesTheQueue) {
    int ran = 0;
    runtime::PostToMainThread([&] { ++ran; });
    runtime::PostToMainThread([&] { ++ran; });
    app::ProcessMessages();
    EXPECT_EQ(ran, 2);
}

class MainLoopFormTest : public QtFormTest {};

TEST_F(MainLoopFormTest, TheAdaptersReportsFlowThroughTheEventLoop) {
    const TSimDeviceId id = Bus().Plug(Adapter(), TBroadcast::No);
    CreateWindow();
    Core().FormActivate(nullptr);
    runtime::PumpPending();
    TickOut();
    ASSERT_NE(Core().TargetDevice(), nullptr);
    ASSERT_TRUE(Core().TargetDevice()->HasReadThread());
    for (BYTE i = 0; i < 3; ++i) {
        Bus().PushInputReport(id, {0x01, i});
    }
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Bus().QueuedInputReportCount(id) == 0 && Bus().PendingReadCount(id) == 1; },
        5000));
}

// The window's activation starts detection; the device change then arrives through Qt's
// event loop alone.
TEST_F(MainLoopFormTest, DeviceChangesReachTheWindowThroughTheEventLoop) {
    CreateWindow();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    Bus().Plug(Adapter());
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->DevListBox()->count() == 1; }, 5000));
    EXPECT_EQ(Core().StatusText(), "Scanning...");
    window->close();
}

} // namespace
} // namespace apptest
