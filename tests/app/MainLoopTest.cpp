#include "app/MainLoop.h"

#include "SimFormFixture.h"
#include "runtime/MainThreadQueue.h"

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

class MainLoopFormTest : public SimFormTest {};

TEST_F(MainLoopFormTest, TheAdaptersReportsFlowThroughTheEventLoop) {
    const TSimDeviceId id = PlugQuietly(Adapter());
    Start();
    TickOut();
    ASSERT_TRUE(ReadThreadRuns());
    for (BYTE i = 0; i < 3; ++i) {
        Bus().PushInputReport(id, {0x01, i});
    }
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Bus().QueuedInputReportCount(id) == 0 && Bus().PendingReadCount(id) == 1; },
        5000));
}

TEST_F(MainLoopFormTest, DeviceChangesReachTheWindowThroughTheEventLoop) {
    CreateForm();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Bus().Plug(Adapter());
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->DevListBox()->count() == 1; }, 5000));
    EXPECT_EQ(View(), ScanningView());
    form->close();
}

} // namespace
} // namespace apptest
