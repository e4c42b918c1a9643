// Check-in: the holder destroys the device it checked out, and the controller's slot gets a
// fresh object for the same device, or goes when the device is gone.
#include "DeviceTestSupport.h"
#include "HidTestFixture.h"

#include <memory>

namespace hid::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class DeviceCheckInTest : public HidTestFixture {
protected:
    // A controller that has listed the plugged devices.
    void StartController() {
        controller = std::make_unique<THidDeviceController>();
        runtime::PumpPending(); // the reconciliation posted at construction
    }

    // Checks out the device in slot; the test holds it.
    std::unique_ptr<THidDevice> CheckOut(int slot) {
        THidDevice* device = nullptr;
        EXPECT_TRUE(controller->CheckOutByIndex(device, slot));
        return std::unique_ptr<THidDevice>(device);
    }

    void StopController() {
        controller.reset();
        EXPECT_THAT(Bus().Leaks(), IsEmpty());
    }

    std::unique_ptr<THidDeviceController> controller;
    TDeviceEvents events;
};

TEST_F(DeviceCheckInTest, PluggedDeviceIsReplacedInItsSlotWithTheHoldersSettings) {
    Bus().Plug({}, platform::sim::TBroadcast::No);
    const auto second = Bus().Plug({}, platform::sim::TBroadcast::No);
    StartController();
    ASSERT_EQ(controller->DeviceCount(), 2);
    THidDevice* const unheld = controller->Device(0);
    auto held = CheckOut(1);
    held->SetOnData(events.OnData());
    held->SetOnUnplug(events.OnUnplug());
    held->SetThreadSleepTime(250);
    ASSERT_TRUE(held->HasReadThread());
    EXPECT_EQ(controller->CheckedOutCount(), 1);
    EXPECT_EQ(controller->CheckedInCount(), 1);

    held.reset();
    ASSERT_EQ(controller->DeviceCount(), 2);
    EXPECT_EQ(controller->Device(0), unheld);
    THidDevice* const fresh = controller->Device(1);
    EXPECT_FALSE(fresh->IsCheckedOut());
    EXPECT_TRUE(fresh->IsPluggedIn());
    EXPECT_FALSE(fresh->HasReadThread());
    EXPECT_EQ(fresh->PnPInfo().DevInst(), Bus().DevInst(second));
    EXPECT_EQ(fresh->Controller(), controller.get());
    EXPECT_TRUE(fresh->OnData() == events.OnData());
    EXPECT_TRUE(fresh->OnUnplug() == events.OnUnplug());
    EXPECT_EQ(fresh->ThreadSleepTime(), 250);
    EXPECT_EQ(controller->CheckedOutCount(), 0);
    EXPECT_EQ(controller->CheckedInCount(), 2);
    EXPECT_EQ(controller->UnpluggedCount(), 0);
    EXPECT_EQ(Bus().OpenHandleCount(second), 0U);
    EXPECT_EQ(Bus().PendingReadCount(second), 0U);
    EXPECT_THAT(events.unplugged, IsEmpty());

    // The fresh object can be lent again, and reads with the holder's handler.
    auto again = CheckOut(1);
    EXPECT_TRUE(again->HasReadThread());
    ASSERT_TRUE(Bus().WaitUntil([&] { return Bus().PendingReadCount(second) == 1; }));
    Bus().PushInputReport(second, {7, 1, 2, 3, 4, 5, 6, 7});
    ASSERT_TRUE(runtime::PumpUntil([&] { return events.reports.size() == 1; }));
    EXPECT_EQ(events.reports[0].device, again.get());
    again.reset();
    StopController();
}

TEST_F(DeviceCheckInTest, UnpluggedDeviceLeavesTheList) {
    const auto id = Bus().Plug({}, platform::sim::TBroadcast::No);
    StartController();
    auto held = CheckOut(0);
    held->SetOnUnplug(events.OnUnplug());
    held->SetOnData(events.OnData());
    Bus().Unplug(id); // broadcast: the controller reconciles when the queue is served
    runtime::PumpPending();
    EXPECT_THAT(events.unplugged, ElementsAre(held.get()));
    EXPECT_FALSE(held->IsPluggedIn());
    EXPECT_EQ(controller->UnpluggedCount(), 1);
    ASSERT_EQ(controller->DeviceCount(), 1);

    held.reset();
    EXPECT_EQ(controller->DeviceCount(), 0);
    EXPECT_EQ(controller->UnpluggedCount(), 0);
    EXPECT_EQ(controller->CheckedOutCount(), 0);
    EXPECT_EQ(controller->CheckedInCount(), 0);
    EXPECT_EQ(events.unplugged.size(), 1U);
    StopController();
}

// The device cannot be identified again at check-in: the held object still goes, and so
// does its slot.
TEST_F(DeviceCheckInTest, DeviceThatCannotBeRebuiltLeavesTheList) {
    Bus().Plug({}, platform::sim::TBroadcast::No);
    const auto other = Bus().Plug({}, platform::sim::TBroadcast::No);
    StartController();
    auto held = CheckOut(0);
    held->SetOnData(events.OnData());
    Bus().FailNextCall("HidD_GetAttributes", ERROR_GEN_FAILURE);

    held.reset();
    ASSERT_EQ(controller->DeviceCount(), 1);
    EXPECT_EQ(controller->Device(0)->PnPInfo().DevInst(), Bus().DevInst(other));
    EXPECT_EQ(controller->CheckedOutCount(), 0);
    EXPECT_EQ(controller->CheckedInCount(), 1);
    EXPECT_EQ(controller->UnpluggedCount(), 0);
    StopController();
}

} // namespace
} // namespace hid::test
