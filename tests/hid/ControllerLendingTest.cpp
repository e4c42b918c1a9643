// Lending devices: Enumerate, check-out by index, and the defaults handed to devices.
#include "ControllerTestFixture.h"

#include <gmock/gmock.h>
#include <ostream>
#include <string>

namespace hid::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pair;

class ControllerLendingTest : public ControllerTest {
protected:
    // A controller listing count devices after its first reconciliation.
    THidDeviceController& WithDevices(int count) {
        for (int i = 0; i < count; ++i) {
            devices_.push_back(PlugQuietly());
        }
        THidDeviceController& controller = MakeController();
        RunMessageLoop();
        log_.Lines.clear();
        return controller;
    }

    std::vector<platform::sim::TSimDeviceId> devices_;
};

// Records (slot, checked out afterwards) per call and answers from a script.
struct TEnumerateRecorder {
    std::vector<std::pair<int, bool>> Calls;
    std::vector<bool> Answers;
    std::function<void(THidDevice*, int)> Hook;

    bool operator()(THidDevice* device, int idx) {
        EXPECT_TRUE(device->InControllerEvent());
        if (Hook) {
            Hook(device, idx);
        }
        Calls.emplace_back(idx, device->IsCheckedOut());
        const std::size_t call = Calls.size() - 1;
        return call < Answers.size() ? Answers[call] : true;
    }
};

TEST_F(ControllerLendingTest, EnumerateWithoutAHandlerCountsTheFirstPluggedInDevice) {
    EXPECT_EQ(WithDevices(0).Enumerate(), 0);
    EXPECT_EQ(WithDevices(3).Enumerate(), 1);
}

TEST_F(ControllerLendingTest, EnumerateWithOnlyAnUnpluggedHeldDeviceVisitsNothing) {
    THidDeviceController& controller = WithDevices(1);
    std::unique_ptr<THidDevice> held = CheckOut(0);
    Bus().Unplug(devices_[0]);
    RunMessageLoop();
    TEnumerateRecorder recorder;
    controller.SetOnEnumerate(THidEnumerateEvent::FromCallable(recorder));

    EXPECT_EQ(controller.Enumerate(), 0);
    EXPECT_THAT(recorder.Calls, IsEmpty());
}

struct TStopCase {
    const char* Name;
    std::vector<bool> Answers;
    int Visited;
};

void PrintTo(const TStopCase& c, std::ostream* out) {
    *out << c.Name;
}

class ControllerEnumerateStopTest : public ControllerLendingTest,
                                    public ::testing::WithParamInterface<TStopCase> {};

TEST_P(ControllerEnumerateStopTest, StopsAfterTheDeviceWhoseHandlerSaysFalse) {
    THidDeviceController& controller = WithDevices(3);
    TEnumerateRecorder recorder;
    recorder.Answers = GetParam().Answers;
    controller.SetOnEnumerate(THidEnumerateEvent::FromCallable(recorder));

    EXPECT_EQ(controller.Enumerate(), GetParam().Visited);
    EXPECT_EQ(recorder.Calls.size(), static_cast<std::size_t>(GetParam().Visited));
}

INSTANTIATE_TEST_SUITE_P(Answers, ControllerEnumerateStopTest,
                         ::testing::Values(TStopCase{"AllTrue", {true, true, true}, 3},
                                           TStopCase{"FirstFalse", {false}, 1},
                                           TStopCase{"SecondFalse", {true, false}, 2},
                                           TStopCase{"LastFalse", {true, true, false}, 3}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ControllerLendingTest, EnumerateReportsSlotsAndSkipsUnpluggedHeldDevices) {
    THidDeviceController& controller = WithDevices(3);
    std::unique_ptr<THidDevice> held = CheckOut(0);
    Bus().Unplug(devices_[0]);
    RunMessageLoop();
    TEnumerateRecorder recorder;
    controller.SetOnEnumerate(THidEnumerateEvent::FromCallable(recorder));

    EXPECT_EQ(controller.Enumerate(), 2);
    EXPECT_THAT(recorder.Calls, ElementsAre(Pair(1, false), Pair(2, false)));
}

TEST_F(ControllerLendingTest, EnumerateClosesTheHandlesOfDevicesNobodyTook) {
    THidDeviceController& controller = WithDevices(2);
    std::vector<std::unique_ptr<THidDevice>> taken;
    TEnumerateRecorder recorder;
    recorder.Hook = [&](THidDevice* device, int idx) {
        EXPECT_TRUE(device->OpenFile());
        EXPECT_TRUE(device->OpenFileEx(DeviceKind::Read));
        if (idx == 1) {
            taken.push_back(CheckOut(idx));
        }
    };
    controller.SetOnEnumerate(THidEnumerateEvent::FromCallable(recorder));

    EXPECT_EQ(controller.Enumerate(), 2);

    EXPECT_THAT(recorder.Calls, ElementsAre(Pair(0, false), Pair(1, true)));
    EXPECT_EQ(Bus().OpenHandleCount(devices_[0]), 0u);
    EXPECT_EQ(Bus().OpenHandleCount(devices_[1]), 2u);
    ExpectCounters(1, 1, 0);
}

struct TRefusedCheckOut {
    const char* Name;
    int Idx;
};

void PrintTo(const TRefusedCheckOut& c, std::ostream* out) {
    *out << c.Name;
}

class ControllerCheckOutTest : public ControllerLendingTest,
                               public ::testing::WithParamInterface<TRefusedCheckOut> {};

TEST_P(ControllerCheckOutTest, IsRefused) {
    THidDeviceController& controller = WithDevices(2);
    std::unique_ptr<THidDevice> held = CheckOut(1);
    THidDevice* device = held.get(); // anything but null

    EXPECT_FALSE(controller.CheckOutByIndex(device, GetParam().Idx));

    EXPECT_EQ(device, nullptr);
    ExpectCounters(1, 1, 0);
}

INSTANTIATE_TEST_SUITE_P(Slots, ControllerCheckOutTest,
                         ::testing::Values(TRefusedCheckOut{"BeforeTheList", -1},
                                           TRefusedCheckOut{"PastTheList", 2},
                                           TRefusedCheckOut{"AlreadyHeld", 1}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ControllerLendingTest, CheckOutLendsTheDeviceAndCheckInPutsAFreshOneInItsSlot) {
    THidDeviceController& controller = WithDevices(2);

    std::unique_ptr<THidDevice> held = CheckOut(1);
    ASSERT_EQ(held.get(), controller.Device(1));
    EXPECT_TRUE(held->IsCheckedOut());
    ExpectCounters(1, 1, 0);

    held.reset();
    EXPECT_EQ(controller.DeviceCount(), 2);
    EXPECT_FALSE(controller.Device(1)->IsCheckedOut());
    ExpectCounters(2, 0, 0);
}

TEST_F(ControllerLendingTest, CheckOutStartsTheReadThreadOfADeviceWithADataHandler) {
    int reports = 0;
    auto onData = [&](THidDevice*, BYTE, const BYTE*, WORD) {
        ++reports;
    };
    THidDeviceController& controller = WithDevices(1);
    controller.SetOnDeviceData(THidDataEvent::FromCallable(onData));
    EXPECT_FALSE(controller.Device(0)->HasReadThread());

    std::unique_ptr<THidDevice> held = CheckOut(0);
    ASSERT_TRUE(held->HasReadThread());
    ASSERT_TRUE(Bus().WaitUntil([&] { return Bus().PendingReadCount(devices_[0]) == 1; }));
    Bus().PushInputReport(devices_[0], {0x01, 0x02});

    EXPECT_TRUE(runtime::PumpUntil([&] { return reports == 1; }));
}

TEST_F(ControllerLendingTest, SleepTimeReachesOnlyDevicesStillAtTheDefault) {
    THidDeviceController& controller = WithDevices(2);
    controller.Device(1)->SetThreadSleepTime(300);

    controller.SetDevThreadSleepTime(200);
    EXPECT_EQ(controller.Device(0)->ThreadSleepTime(), 200);
    EXPECT_EQ(controller.Device(1)->ThreadSleepTime(), 300);

    // Outside the devices' range: stored all the same, devices unchanged.
    controller.SetDevThreadSleepTime(5);
    EXPECT_EQ(controller.DevThreadSleepTime(), 5);
    EXPECT_EQ(controller.Device(0)->ThreadSleepTime(), 200);

    // No device is at 5, so none follows.
    controller.SetDevThreadSleepTime(50);
    EXPECT_EQ(controller.DevThreadSleepTime(), 50);
    EXPECT_EQ(controller.Device(0)->ThreadSleepTime(), 200);
    EXPECT_EQ(controller.Device(1)->ThreadSleepTime(), 300);
}

struct THandlers {
    void Unplug(THidDevice*) {}
    void OtherUnplug(THidDevice*) {}
    void Own(THidDevice*) {}
    void Error(THidDevice*, DWORD) {}
    void OtherError(THidDevice*, DWORD) {}
    void OwnError(THidDevice*, DWORD) {}
};

TEST_F(ControllerLendingTest, DefaultHandlersReachOnlyDevicesStillHoldingThePreviousDefault) {
    THandlers h;
    THidDeviceController& controller = WithDevices(2);
    THidDevice* follows = controller.Device(0);
    THidDevice* own = controller.Device(1);
    own->SetOnUnplug(runtime::MakeEvent<&THandlers::Own>(h));
    own->SetOnDataError(runtime::MakeEvent<&THandlers::OwnError>(h));

    controller.SetOnDeviceUnplug(runtime::MakeEvent<&THandlers::OtherUnplug>(h));
    controller.SetOnDeviceDataError(runtime::MakeEvent<&THandlers::Error>(h));
    controller.SetOnDeviceDataError(runtime::MakeEvent<&THandlers::OtherError>(h));

    EXPECT_TRUE(follows->OnUnplug() == runtime::MakeEvent<&THandlers::OtherUnplug>(h));
    EXPECT_TRUE(follows->OnDataError() == runtime::MakeEvent<&THandlers::OtherError>(h));
    EXPECT_TRUE(own->OnUnplug() == runtime::MakeEvent<&THandlers::Own>(h));
    EXPECT_TRUE(own->OnDataError() == runtime::MakeEvent<&THandlers::OwnError>(h));

    // New devices start with the current defaults.
    PlugQuietly();
    controller.DeviceChange();
    ASSERT_EQ(controller.DeviceCount(), 3);
    EXPECT_TRUE(controller.Device(2)->OnUnplug() == runtime::MakeEvent<&THandlers::OtherUnplug>(h));
    EXPECT_TRUE(controller.Device(2)->OnDataError() ==
                runtime::MakeEvent<&THandlers::OtherError>(h));
}

TEST_F(ControllerLendingTest, DataDefaultStartsAndStopsTheReadThreadsOfHeldDevices) {
    int reports = 0;
    auto onData = [&](THidDevice*, BYTE, const BYTE*, WORD) {
        ++reports;
    };
    THidDeviceController& controller = WithDevices(2);
    std::unique_ptr<THidDevice> held = CheckOut(0);
    EXPECT_FALSE(held->HasReadThread());

    controller.SetOnDeviceData(THidDataEvent::FromCallable(onData));
    EXPECT_TRUE(held->HasReadThread());
    EXPECT_FALSE(controller.Device(1)->HasReadThread());
    EXPECT_TRUE(controller.Device(1)->OnData().Assigned());

    controller.SetOnDeviceData(nullptr);
    EXPECT_FALSE(held->HasReadThread());
    EXPECT_FALSE(controller.Device(1)->OnData().Assigned());
}

} // namespace
} // namespace hid::test
