// Reconciliation: which events a device-change notification raises, in which order, and
// what the list and its counters look like afterwards.
#include "ControllerTestFixture.h"

#include <gmock/gmock.h>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace hid::test {
namespace {

using platform::sim::TSimAccess;
using platform::sim::TSimDeviceConfig;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class ControllerReconcileTest : public ControllerTest {
protected:
    // A controller past its first, forced reconciliation, with an empty log.
    THidDeviceController& Started() {
        THidDeviceController& controller = MakeController();
        RunMessageLoop();
        log_.Lines.clear();
        return controller;
    }

    void Notify() {
        Bus().BroadcastDeviceChange();
        RunMessageLoop();
    }
};

TEST_F(ControllerReconcileTest, LaterNotificationsReportOnlyChanges) {
    THidDeviceController& controller = Started();

    Notify();
    EXPECT_THAT(log_.Lines, IsEmpty());
    EXPECT_EQ(controller.ChangeParam(), 0);

    const auto device = Bus().Plug();
    RunMessageLoop();
    EXPECT_THAT(log_.Lines, ElementsAre("arrival:" + Id(device), "change"));

    Notify();
    EXPECT_THAT(log_.Lines, ElementsAre("arrival:" + Id(device), "change"));

    Bus().Unplug(device);
    RunMessageLoop();
    EXPECT_THAT(log_.Lines, ElementsAre("arrival:" + Id(device), "change", "unplug:" + Id(device),
                                        "removal:" + Id(device), "change"));
    EXPECT_EQ(controller.DeviceCount(), 0);
    ExpectCounters(0, 0, 0);
}

TEST_F(ControllerReconcileTest, KnownDevicesKeepTheirObjects) {
    THidDeviceController& controller = Started();
    PlugQuietly();
    PlugQuietly();
    Notify();
    THidDevice* first = controller.Device(0);
    THidDevice* second = controller.Device(1);

    Notify();
    controller.DeviceChange();

    EXPECT_EQ(controller.DeviceCount(), 2);
    EXPECT_EQ(controller.Device(0), first);
    EXPECT_EQ(controller.Device(1), second);
    ExpectCounters(2, 0, 0);
    // The throw-away copies left nothing open.
    EXPECT_EQ(Bus().OpenHandleCount(), 0u);
}

TEST_F(ControllerReconcileTest, AssigningOnDeviceChangeReconcilesOnceAndNotWhileLoading) {
    auto& controller = *(controller_ = std::make_unique<THidDeviceController>());
    const auto device = PlugQuietly();
    controller.SetOnArrival(runtime::MakeEvent<&TEventLog::Arrival>(log_));
    const auto change = runtime::MakeEvent<&TEventLog::Change>(log_);

    {
        runtime::TLoadingGuard loading(controller);
        controller.SetOnDeviceChange(change);
    }
    EXPECT_THAT(log_.Lines, IsEmpty());

    controller.SetOnDeviceChange(nullptr);
    EXPECT_THAT(log_.Lines, ElementsAre("arrival:" + Id(device)));

    controller.SetOnDeviceChange(change);
    EXPECT_THAT(log_.Lines, ElementsAre("arrival:" + Id(device)));
    PlugQuietly();
    // The same handler again: nothing happens.
    controller.SetOnDeviceChange(change);
    EXPECT_THAT(log_.Lines, ElementsAre("arrival:" + Id(device)));
    EXPECT_EQ(controller.DeviceCount(), 1);
}

TEST_F(ControllerReconcileTest,
       OneReconciliationRaisesRemovalsFromTheEndThenArrivalsThenOneChange) {
    Started();
    const auto a = PlugQuietly();
    const auto b = PlugQuietly();
    const auto c = PlugQuietly();
    Notify();
    log_.Lines.clear();

    Bus().Unplug(a, platform::sim::TBroadcast::No);
    Bus().Unplug(c, platform::sim::TBroadcast::No);
    const auto d = PlugQuietly();
    const auto e = PlugQuietly();
    Notify();

    EXPECT_THAT(log_.Lines,
                ElementsAre("unplug:" + Id(c), "removal:" + Id(c), "unplug:" + Id(a),
                            "removal:" + Id(a), "arrival:" + Id(d), "arrival:" + Id(e), "change"));
    EXPECT_THAT(ListedDevInsts(),
                ElementsAre(Bus().DevInst(b), Bus().DevInst(d), Bus().DevInst(e)));
    ExpectCounters(3, 0, 0);
}

TEST_F(ControllerReconcileTest, HandlersSeeTheDeviceInsideAControllerEvent) {
    THidDeviceController& controller = Started();
    const auto device = PlugQuietly();
    WideString vendor;
    bool inEventOnArrival = false;
    bool inEventOnRemoval = false;
    bool pluggedOnRemoval = true;
    log_.OnArrivalHook = [&](THidDevice* d) {
        inEventOnArrival = d->InControllerEvent();
        vendor = d->VendorName();
    };
    log_.OnRemovalHook = [&](THidDevice* d) {
        inEventOnRemoval = d->InControllerEvent();
        pluggedOnRemoval = d->IsPluggedIn();
    };

    Notify();
    ASSERT_EQ(controller.DeviceCount(), 1);
    EXPECT_FALSE(controller.Device(0)->InControllerEvent());
    Bus().Unplug(device);
    RunMessageLoop();

    EXPECT_TRUE(inEventOnArrival);
    EXPECT_EQ(vendor, u"Simulated Devices");
    EXPECT_TRUE(inEventOnRemoval);
    EXPECT_FALSE(pluggedOnRemoval);
}

TEST_F(ControllerReconcileTest, AHeldUnpluggedDeviceStaysListedAndIsReportedUntilCheckedIn) {
    THidDeviceController& controller = Started();
    const auto gone = PlugQuietly();
    PlugQuietly();
    Notify();
    std::unique_ptr<THidDevice> held = CheckOut(0);
    ExpectCounters(1, 1, 0);
    log_.Lines.clear();

    Bus().Unplug(gone);
    RunMessageLoop();
    EXPECT_THAT(log_.Lines, ElementsAre("unplug:" + Id(gone), "removal:" + Id(gone), "change"));
    ASSERT_EQ(controller.DeviceCount(), 2);
    EXPECT_EQ(controller.Device(0), held.get());
    EXPECT_FALSE(held->IsPluggedIn());
    ExpectCounters(1, 0, 1);

    // Reported again at every reconciliation, which therefore counts as a change; OnUnplug
    // fired once only.
    log_.Lines.clear();
    Notify();
    EXPECT_THAT(log_.Lines, ElementsAre("removal:" + Id(gone), "change"));
    ExpectCounters(1, 0, 1);

    held.reset();
    EXPECT_EQ(controller.DeviceCount(), 1);
    ExpectCounters(1, 0, 0);
    log_.Lines.clear();
    Notify();
    EXPECT_THAT(log_.Lines, IsEmpty());
}

TEST_F(ControllerReconcileTest, AHeldUnpluggedDevicePluggedInAgainGetsANewObject) {
    THidDeviceController& controller = Started();
    TSimDeviceConfig spec;
    spec.DevInst = 0x4242;
    const auto first = PlugQuietly(spec);
    Notify();
    std::unique_ptr<THidDevice> held = CheckOut(0);
    Bus().Unplug(first);
    RunMessageLoop();
    log_.Lines.clear();

    PlugQuietly(spec);
    Notify();

    EXPECT_THAT(log_.Lines, ElementsAre("removal:16962", "arrival:16962", "change"));
    ASSERT_EQ(controller.DeviceCount(), 2);
    EXPECT_EQ(controller.Device(0), held.get());
    EXPECT_NE(controller.Device(1), held.get());
    EXPECT_TRUE(controller.Device(1)->IsPluggedIn());
    ExpectCounters(1, 0, 1);

    held.reset();
    EXPECT_EQ(controller.DeviceCount(), 1);
    EXPECT_TRUE(controller.Device(0)->IsPluggedIn());
    ExpectCounters(1, 0, 0);
}

TEST_F(ControllerReconcileTest, AFailedDeviceSetQueryUnplugsEveryListedDevice) {
    THidDeviceController& controller = Started();
    const auto a = PlugQuietly();
    const auto b = PlugQuietly();
    Notify();
    std::unique_ptr<THidDevice> held = CheckOut(1);
    log_.Lines.clear();

    Bus().FailNextCall("SetupDiGetClassDevsA", ERROR_NOT_ENOUGH_MEMORY);
    controller.DeviceChange();

    EXPECT_THAT(log_.Lines, ElementsAre("unplug:" + Id(b), "removal:" + Id(b), "unplug:" + Id(a),
                                        "removal:" + Id(a), "change"));
    ASSERT_EQ(controller.DeviceCount(), 1);
    EXPECT_EQ(controller.Device(0), held.get());
    ExpectCounters(0, 0, 1);
}

TEST_F(ControllerReconcileTest, AnInterfaceWhoseDetailsCannotBeReadIsSkipped) {
    Started();
    PlugQuietly();
    const auto second = PlugQuietly();

    Bus().FailNextCall("SetupDiGetDeviceInterfaceDetailA", ERROR_GEN_FAILURE);
    Notify();

    EXPECT_THAT(ListedDevInsts(), ElementsAre(Bus().DevInst(second)));
    EXPECT_EQ(Bus().OutstandingDeviceInfoSets(), 0u);
}

// A platform that hands out device-instance values by position in each enumeration: a new
// interface that sorts in between listed ones takes a listed device's value, and the devices
// after it move on to other values. Devices are told apart by path and value together.
class ControllerPositionalInstanceTest : public ControllerReconcileTest {
protected:
    ControllerPositionalInstanceTest() {
        Bus().SetDevInstByPosition(true);
        log_.OnArrivalHook = [this](THidDevice* device) {
            arrived.push_back(device->PnPInfo().DevicePath());
        };
        log_.OnRemovalHook = [this](THidDevice* device) {
            removed.push_back(device->PnPInfo().DevicePath());
        };
    }

    static TSimDeviceConfig Ranked(int rank, const std::u16string& serial) {
        TSimDeviceConfig spec;
        spec.EnumerationRank = rank;
        spec.SerialNumber = platform::sim::TSimString::Present(serial);
        return spec;
    }

    // The paths of the plugged-in listed devices, each with the value it was listed under.
    std::vector<std::pair<std::string, DWORD>> Listed() const {
        std::vector<std::pair<std::string, DWORD>> result;
        for (int slot = 0; slot < controller_->DeviceCount(); ++slot) {
            const THidDevice* device = controller_->Device(slot);
            if (device->IsPluggedIn()) {
                result.emplace_back(device->PnPInfo().DevicePath(), device->PnPInfo().DevInst());
            }
        }
        return result;
    }

    std::pair<std::string, DWORD> Now(platform::sim::TSimDeviceId device) {
        return {Bus().DevicePath(device), Bus().DevInst(device)};
    }

    std::vector<std::string> arrived;
    std::vector<std::string> removed;
};

TEST_F(ControllerPositionalInstanceTest, AnArrivalInTheMiddleOfTheListIsListed) {
    const auto first = PlugQuietly(Ranked(0, u"FIRST"));
    const auto last = PlugQuietly(Ranked(2, u"LAST"));
    Started();
    ASSERT_THAT(Listed(), ElementsAre(Now(first), Now(last)));
    arrived.clear();

    const DWORD lastBefore = Bus().DevInst(last);
    const auto middle = Bus().Plug(Ranked(1, u"MIDDLE"));
    RunMessageLoop();
    ASSERT_EQ(Bus().DevInst(middle), lastBefore) << "the new device takes a listed value";

    EXPECT_THAT(Listed(), ::testing::UnorderedElementsAre(Now(first), Now(middle), Now(last)));
    EXPECT_THAT(arrived, ::testing::Contains(Bus().DevicePath(middle)));
    EXPECT_THAT(removed, ::testing::Not(::testing::Contains(Bus().DevicePath(first))));

    // Nothing changed since: nothing is reported.
    log_.Lines.clear();
    Notify();
    EXPECT_THAT(log_.Lines, IsEmpty());
    EXPECT_THAT(Listed(), ::testing::UnorderedElementsAre(Now(first), Now(middle), Now(last)));
    ExpectCounters(3, 0, 0);
}

TEST_F(ControllerPositionalInstanceTest, AValueTakenOverByAnotherDeviceIsARemovalAndAnArrival) {
    const auto leaving = PlugQuietly(Ranked(1, u"LEAVING"));
    const auto staying = PlugQuietly(Ranked(2, u"STAYING"));
    Started();
    const DWORD leavingValue = Bus().DevInst(leaving);
    arrived.clear();

    // In one notification: one device leaves, another sorts in where it was.
    Bus().Unplug(leaving, platform::sim::TBroadcast::No);
    const auto coming = Bus().Plug(Ranked(0, u"COMING"), platform::sim::TBroadcast::No);
    Notify();
    ASSERT_EQ(Bus().DevInst(coming), leavingValue);

    EXPECT_THAT(removed, ElementsAre(Bus().DevicePath(leaving)));
    EXPECT_THAT(arrived, ElementsAre(Bus().DevicePath(coming)));
    EXPECT_THAT(Listed(), ::testing::UnorderedElementsAre(Now(coming), Now(staying)));
    ExpectCounters(2, 0, 0);
}

struct TBrokenDevice {
    const char* Name;
    TSimDeviceConfig Spec;
};

void PrintTo(const TBrokenDevice& c, std::ostream* out) {
    *out << c.Name;
}

TSimDeviceConfig Unopenable() {
    TSimDeviceConfig spec;
    spec.Access = TSimAccess::Unopenable;
    return spec;
}

TSimDeviceConfig Unidentifiable() {
    TSimDeviceConfig spec;
    spec.IdentificationError = ERROR_GEN_FAILURE;
    return spec;
}

class ControllerBrokenDeviceTest : public ControllerReconcileTest,
                                   public ::testing::WithParamInterface<TBrokenDevice> {};

TEST_P(ControllerBrokenDeviceTest, IsNeverListed) {
    Started();
    PlugQuietly(GetParam().Spec);
    const auto good = PlugQuietly();
    PlugQuietly(GetParam().Spec);

    Notify();
    Notify();

    EXPECT_THAT(log_.Lines, ElementsAre("arrival:" + Id(good), "change"));
    EXPECT_THAT(ListedDevInsts(), ElementsAre(Bus().DevInst(good)));
    EXPECT_EQ(Bus().OpenHandleCount(), 0u);
    ExpectCounters(1, 0, 0);
}

INSTANTIATE_TEST_SUITE_P(Devices, ControllerBrokenDeviceTest,
                         ::testing::Values(TBrokenDevice{"Unopenable", Unopenable()},
                                           TBrokenDevice{"Unidentifiable", Unidentifiable()}),
                         [](const auto& info) { return std::string(info.param.Name); });

// A handler that starts another reconciliation from inside the running one: the running
// pass still has devices to add or objects to use, so no nested pass may run.
struct TReentry {
    const char* Name;
    bool FromRemoval;     // else from the first arrival
    bool AssignsOnChange; // else calls DeviceChange directly
};

void PrintTo(const TReentry& reentry, std::ostream* out) {
    *out << reentry.Name;
}

class ControllerReentryTest : public ControllerReconcileTest,
                              public ::testing::WithParamInterface<TReentry> {};

TEST_P(ControllerReentryTest, StartsNoReconciliationInsideTheRunningOne) {
    THidDeviceController& controller = Started();
    const auto a = PlugQuietly();
    const auto b = PlugQuietly();
    if (GetParam().FromRemoval) {
        Notify();
        log_.Lines.clear();
        Bus().Unplug(a, platform::sim::TBroadcast::No);
        Bus().Unplug(b, platform::sim::TBroadcast::No);
    }
    // Another handler: the controller tells handlers apart by their code alone.
    struct TOtherHandler {
        int changes = 0;
        void Change(runtime::TComponent* /*sender*/) { ++changes; }
    } other;
    bool reentered = false;
    auto reenter = [&](THidDevice*) {
        if (std::exchange(reentered, true)) {
            return;
        }
        if (GetParam().AssignsOnChange) {
            controller.SetOnDeviceChange(runtime::MakeEvent<&TOtherHandler::Change>(other));
        } else {
            controller.DeviceChange();
        }
    };
    (GetParam().FromRemoval ? log_.OnRemovalHook : log_.OnArrivalHook) = reenter;

    Notify();

    ASSERT_TRUE(reentered);
    std::vector<std::string> expected;
    if (GetParam().FromRemoval) {
        expected = {"unplug:" + Id(b), "removal:" + Id(b), "unplug:" + Id(a), "removal:" + Id(a)};
        EXPECT_THAT(ListedDevInsts(), IsEmpty());
        ExpectCounters(0, 0, 0);
    } else {
        expected = {"arrival:" + Id(a), "arrival:" + Id(b)};
        EXPECT_THAT(ListedDevInsts(), ElementsAre(Bus().DevInst(a), Bus().DevInst(b)));
        ExpectCounters(2, 0, 0);
    }
    // The pass that was running raises the one change, to the handler held by then.
    if (!GetParam().AssignsOnChange) {
        expected.emplace_back("change");
    }
    EXPECT_THAT(log_.Lines, ElementsAreArray(expected));
    EXPECT_EQ(other.changes, GetParam().AssignsOnChange ? 1 : 0);
    EXPECT_EQ(Bus().OpenHandleCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Handlers, ControllerReentryTest,
                         ::testing::Values(TReentry{"ArrivalAssignsOnDeviceChange", false, true},
                                           TReentry{"ArrivalCallsDeviceChange", false, false},
                                           TReentry{"RemovalAssignsOnDeviceChange", true, true},
                                           TReentry{"RemovalCallsDeviceChange", true, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace hid::test
