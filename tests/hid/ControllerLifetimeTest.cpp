// The controller's life: what construction binds and posts, what its window answers, and
// what destruction leaves behind.
#include "ControllerTestFixture.h"
#include "platform/Hid.h"
#include "platform/SetupApi.h"
#include "runtime/MainThreadQueue.h"

#include <cstring>
#include <gmock/gmock.h>
#include <ostream>
#include <string>

namespace hid::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr GUID kHidInterfaceGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

bool SameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

TEST_F(ControllerTest, ConstructionBindsBothLibrariesAndPostsAForcedNotification) {
    THidDeviceController& controller = MakeController();

    EXPECT_EQ(platform::SetupApiBindCount(), 1);
    EXPECT_TRUE(platform::HidBound());
    EXPECT_TRUE(SameGuid(controller.HidClassGuid(), kHidInterfaceGuid));
    EXPECT_NE(controller.NotifyWindow(), nullptr);
    EXPECT_EQ(Bus().WindowCount(), 1u);
    EXPECT_EQ(controller.Version(), "1.0.32");
    EXPECT_EQ(controller.DevThreadSleepTime(), 100);
    // Nothing has run yet: the notification waits for the message loop.
    EXPECT_EQ(controller.ChangeParam(), 0);
    EXPECT_THAT(log_.Lines, IsEmpty());
    EXPECT_EQ(Bus().CallCount("SetupDiGetClassDevsA"), 0u);
}

TEST_F(ControllerTest, FirstNotificationIsForcedEvenWithNoDevice) {
    THidDeviceController& controller = MakeController();

    RunMessageLoop();

    EXPECT_EQ(controller.ChangeParam(), -1);
    EXPECT_THAT(log_.Lines, ElementsAre("change"));
    EXPECT_EQ(controller.DeviceCount(), 0);
}

TEST_F(ControllerTest, VersionIgnoresWrites) {
    THidDeviceController& controller = MakeController();
    controller.SetVersion("2.0");
    EXPECT_EQ(controller.Version(), "1.0.32");
}

struct TMessageCase {
    const char* Name;
    UINT Message;
    WPARAM WParam;
    LRESULT Result;
    bool Reconciles;
};

void PrintTo(const TMessageCase& c, std::ostream* out) {
    *out << c.Name;
}

class ControllerWindowTest : public ControllerTest,
                             public ::testing::WithParamInterface<TMessageCase> {};

TEST_P(ControllerWindowTest, AnswersMessages) {
    const TMessageCase& c = GetParam();
    THidDeviceController& controller = MakeController();
    RunMessageLoop();
    log_.Lines.clear();
    PlugQuietly();

    EXPECT_EQ(SendToWindow(c.Message, c.WParam, 0), c.Result);

    EXPECT_EQ(controller.DeviceCount(), c.Reconciles ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ControllerWindowTest,
    ::testing::Values(TMessageCase{"QueryEndSession", WM_QUERYENDSESSION, 0, 1, false},
                      TMessageCase{"DevNodesChanged", WM_DEVICECHANGE, 7, 0, true},
                      TMessageCase{"OtherDeviceChange", WM_DEVICECHANGE, 0x8000, 0, false},
                      TMessageCase{"Unrelated", 0x0400, 7, 0, false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ControllerTest, NotificationWhileReconcilingIsDropped) {
    THidDeviceController& controller = MakeController();
    platform::sim::TSimDeviceId late = 0;
    std::size_t listedInside = 0;
    log_.OnChangeHook = [&] {
        if (late != 0) {
            return;
        }
        // A handler that lets the message loop run while the next notification waits.
        late = Bus().Plug();
        ASSERT_GT(runtime::PendingMainThreadCalls(), 0u);
        RunMessageLoop();
        listedInside = static_cast<std::size_t>(controller.DeviceCount());
    };

    RunMessageLoop();

    EXPECT_EQ(listedInside, 0u);
    EXPECT_EQ(controller.DeviceCount(), 0);
    EXPECT_THAT(log_.Lines, ElementsAre("change"));

    // Nothing was deferred: the next notification finds the device.
    Bus().BroadcastDeviceChange();
    RunMessageLoop();
    EXPECT_THAT(log_.Lines, ElementsAre("change", "arrival:" + Id(late), "change"));
}

TEST_F(ControllerTest, WithoutTheHidLibraryTheListStaysEmptyAndNoWindowIsMade) {
    Bus().RemoveModule(platform::sim::kHidModule);
    PlugQuietly();

    THidDeviceController& controller = MakeController();
    controller.DeviceChange();
    RunMessageLoop();

    EXPECT_FALSE(platform::HidBound());
    EXPECT_EQ(controller.NotifyWindow(), nullptr);
    EXPECT_EQ(Bus().WindowCount(), 0u);
    EXPECT_TRUE(SameGuid(controller.HidClassGuid(), kHidInterfaceGuid));
    EXPECT_EQ(controller.DeviceCount(), 0);
    EXPECT_EQ(controller.Enumerate(), 0);
    EXPECT_EQ(Bus().CallCount("SetupDiGetClassDevsA"), 0u);

    controller_.reset();
    // The setup binding this controller took is given back although HID never bound.
    EXPECT_EQ(platform::SetupApiBindCount(), 0);
    EXPECT_THAT(Bus().Leaks(), IsEmpty());
}

TEST_F(ControllerTest, WithoutTheSetupLibraryTheHidLibraryIsNotTried) {
    Bus().RemoveModule(platform::sim::kSetupApiModule);

    THidDeviceController& controller = MakeController();

    EXPECT_EQ(Bus().LoadCount(platform::sim::kHidModule), 0u);
    EXPECT_EQ(controller.NotifyWindow(), nullptr);
    controller_.reset();
    EXPECT_THAT(Bus().Leaks(), IsEmpty());
}

TEST_F(ControllerTest, DestructionGivesEverythingBack) {
    THidDeviceController& controller = MakeController();
    PlugQuietly();
    PlugQuietly();
    RunMessageLoop();
    ASSERT_EQ(controller.DeviceCount(), 2);
    log_.Lines.clear();

    controller_.reset();
    RunMessageLoop();

    // Devices nobody holds go without an unplug event.
    EXPECT_THAT(log_.Lines, IsEmpty());
    EXPECT_FALSE(platform::HidBound());
    EXPECT_EQ(platform::SetupApiBindCount(), 0);
    EXPECT_THAT(Bus().Leaks(), IsEmpty());
    EXPECT_THAT(Bus().Violations(), IsEmpty());
}

TEST_F(ControllerTest, OwnerDestroysTheController) {
    auto owner = std::make_unique<runtime::TComponent>();
    auto& controller = runtime::MakeOwned<THidDeviceController>(*owner);
    EXPECT_EQ(controller.Owner(), owner.get());

    owner.reset();

    EXPECT_EQ(Bus().WindowCount(), 0u);
    EXPECT_THAT(Bus().Leaks(), IsEmpty());
}

// The holder keeps a device with a running read thread when the controller goes.
TEST_F(ControllerTest, DestructionLeavesAHeldDeviceDetachedWithNothingReachingTheHidLibrary) {
    MakeController();
    const auto held = PlugQuietly();
    PlugQuietly();
    RunMessageLoop();
    std::unique_ptr<THidDevice> device = CheckOut(0);
    ASSERT_TRUE(device);
    int reports = 0;
    auto onData = [&](THidDevice*, BYTE, const BYTE*, WORD) {
        ++reports;
    };
    device->SetOnData(THidDataEvent::FromCallable(onData));
    ASSERT_TRUE(device->HasReadThread());
    ASSERT_NE(device->PreparsedData(), nullptr);
    ASSERT_TRUE(Bus().WaitUntil([&] { return Bus().PendingReadCount(held) == 1; }));
    log_.Lines.clear();

    controller_.reset();

    EXPECT_THAT(log_.Lines, ElementsAre("unplug:" + Id(held)));
    EXPECT_FALSE(device->HasReadThread());
    EXPECT_FALSE(device->IsPluggedIn());
    EXPECT_EQ(device->Controller(), nullptr);
    EXPECT_EQ(Bus().OutstandingPreparsedData(), 0u);
    EXPECT_EQ(Bus().OpenHandleCount(), 0u);
    EXPECT_FALSE(platform::HidBound());

    // The holder checks the device in long after the library went.
    const std::size_t before = Bus().CallLog().size();
    device.reset();
    const std::vector<std::string> log = Bus().CallLog();
    for (std::size_t i = before; i < log.size(); ++i) {
        EXPECT_THAT(log[i], ::testing::Not(HasSubstr("Hid"))) << "call " << i;
    }
    EXPECT_THAT(Bus().Violations(), IsEmpty());
    EXPECT_THAT(Bus().Leaks(), IsEmpty());
    EXPECT_EQ(reports, 0);
}

} // namespace
} // namespace hid::test
