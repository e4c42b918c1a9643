#include "SimFormFixture.h"

namespace apptest {
namespace {

using testing::ElementsAre;

class TargetDetectionTest : public SimFormTest {};

TEST_F(TargetDetectionTest, WithNoDeviceTheCountdownIsNeverArmed) {
    Start();
    Serve(); // the notification posted at the controller's construction, too

    EXPECT_FALSE(form->CheckTargetTimer().Enabled());
    EXPECT_EQ(View(), (TView{{}, Blue, {}, {}, false, true}));
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(DeviceList().size(), 0U);
    EXPECT_FALSE(form->Connected());
}

TEST_F(TargetDetectionTest, DetectionStartsWhenTheWindowIsFirstActivated) {
    PlugQuietly(Adapter());
    CreateForm();
    Serve();
    // The controller's first notification reports the adapter, which arms the countdown,
    // but the window does not rebuild before it has been activated.
    EXPECT_TRUE(form->CheckTargetTimer().Enabled());
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(DeviceList().size(), 0U);
    EXPECT_TRUE(form->HidCtl().OnArrival().Assigned());
    EXPECT_TRUE(form->HidCtl().OnRemoval().Assigned());
    EXPECT_TRUE(form->HidCtl().OnEnumerate().Assigned());
    EXPECT_TRUE(form->HidCtl().OnDeviceDataError().Assigned());
    EXPECT_FALSE(form->HidCtl().OnDeviceChange().Assigned());

    form->FormActivate(nullptr);
    Serve();

    EXPECT_TRUE(form->CheckTargetTimer().Enabled());
    EXPECT_EQ(View(), ScanningView());
}

TEST_F(TargetDetectionTest, AnArrivalScansAndTheThirdTickFindsTheAdapter) {
    Start();
    Plug(Adapter(u"SER42"));

    EXPECT_EQ(View(), ScanningView());
    EXPECT_THAT(Log(), ElementsAre(std::string(), "Scanning..."));
    EXPECT_EQ(form->CheckTargetTimer().Tag, 3);
    EXPECT_THAT(DeviceList(), ElementsAre("VUZ Programming Adapter (Serial=SER42)"));
    EXPECT_EQ(view.DeviceListSelection, 0);

    Tick(2);
    EXPECT_EQ(View(), ScanningView());
    EXPECT_TRUE(form->CheckTargetTimer().Enabled());
    EXPECT_EQ(form->TargetDevice(), nullptr);

    Tick();
    EXPECT_EQ(View(), ConnectedView("SER42"));
    EXPECT_THAT(Log(), ElementsAre(std::string(), "Scanning...", "ZEM VUZ SER42 is connected."));
    EXPECT_FALSE(form->CheckTargetTimer().Enabled());
    EXPECT_TRUE(form->Connected());
    EXPECT_EQ(form->TargetDevice(), form->DevListDevice(0));
    EXPECT_TRUE(ReadThreadRuns());
}

TEST_F(TargetDetectionTest, DevicesPresentAtStartAreFoundAfterActivation) {
    PlugQuietly(OtherDevice());
    PlugQuietly(Adapter(u"EARLY"));
    Start();
    EXPECT_EQ(View(), ScanningView());
    EXPECT_EQ(DeviceList().size(), 2U);
    TickOut();
    EXPECT_EQ(View(), ConnectedView("EARLY"));
    EXPECT_EQ(view.DeviceListSelection, 1);
    EXPECT_EQ(form->TargetDevice(), form->DevListDevice(1));
}

TEST_F(TargetDetectionTest, ReArmingRestartsTheCountAndOnlyOneSearchRuns) {
    Start();
    Plug(OtherDevice());
    Tick(2);
    Plug(OtherDevice(0x1234, 0x0001));
    EXPECT_EQ(form->CheckTargetTimer().Tag, 3);
    EXPECT_EQ(DeviceList().size(), 2U) << "one rebuild per reconciliation";
    Plug(Adapter());
    EXPECT_EQ(DeviceList().size(), 3U);
    Tick(2);
    EXPECT_EQ(View(), ScanningView());
    Tick();
    EXPECT_EQ(View(), ConnectedView("VUZ0001"));
    // One "Scanning..." for the whole burst, one result.
    EXPECT_THAT(Log(), ElementsAre(std::string(), "Scanning...", "ZEM VUZ VUZ0001 is connected."));
}

TEST_F(TargetDetectionTest, WithoutTheAdapterTheSearchReportsItMissing) {
    Start();
    Plug(OtherDevice());
    TickOut();
    EXPECT_EQ(View(), NotFoundView());
    EXPECT_THAT(Log(), ElementsAre(std::string(), "Scanning...", "VUZ Device is not found."));
    EXPECT_FALSE(form->Connected());
    EXPECT_EQ(form->TargetDevice(), nullptr);
    EXPECT_FALSE(form->CheckTargetTimer().Enabled());

    // Any arrival scans again, and logs the scan again.
    Plug(Adapter());
    EXPECT_EQ(View(), ScanningView());
    EXPECT_EQ(From(Log(), 3), (TLines{std::string(), "Scanning..."}));
}

TEST_F(TargetDetectionTest, ATickWithNoCountLeftOnlyStopsTheTimer) {
    Start();
    form->CheckTargetTimer().Tag = 0;
    form->CheckTargetTimer().SetEnabled(true);
    Tick();
    EXPECT_FALSE(form->CheckTargetTimer().Enabled());
    EXPECT_TRUE(Log().empty()) << "no search";
}

struct TIdentityCase {
    const char* name;
    USHORT vendor;
    USHORT product;
    USHORT inputLength;
    bool found;
    bool capsRead; // the input length is looked at only after the vendor matched
};

void PrintTo(const TIdentityCase& c, std::ostream* out) {
    *out << c.name;
}

class AdapterIdentityTest : public SimFormTest,
                            public testing::WithParamInterface<TIdentityCase> {};

TEST_P(AdapterIdentityTest, OnlyAllThreeMarksMakeTheAdapter) {
    const TIdentityCase& c = GetParam();
    TSimDeviceConfig device = Adapter();
    device.VendorID = c.vendor;
    device.ProductID = c.product;
    device.InputReportByteLength = c.inputLength;
    PlugQuietly(device);
    Start();
    Tick(2);
    Bus().ResetCallCounts();
    Tick();

    EXPECT_EQ(form->Connected(), c.found);
    EXPECT_EQ(View(), c.found ? ConnectedView("VUZ0001") : NotFoundView());
    EXPECT_EQ(Bus().CallCount("HidP_GetCaps") > 0, c.capsRead);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, AdapterIdentityTest,
    testing::Values(TIdentityCase{"Adapter", 0x0416, 0x8249, 8, true, true},
                    TIdentityCase{"InputLength9", 0x0416, 0x8249, 9, false, true},
                    TIdentityCase{"InputLength0", 0x0416, 0x8249, 0, false, true},
                    TIdentityCase{"OtherProduct", 0x0416, 0x8250, 8, false, true},
                    TIdentityCase{"OtherVendor", 0x0417, 0x8249, 8, false, false},
                    TIdentityCase{"OtherVendorAndProduct", 0x04B4, 0x1004, 8, false, false}),
    [](const testing::TestParamInfo<TIdentityCase>& info) { return info.param.name; });

TEST_F(TargetDetectionTest, AdapterWhoseCapabilitiesCannotBeReadIsNotTheAdapter) {
    TSimDeviceConfig device = Adapter();
    device.PreparsedDataError = ERROR_GEN_FAILURE;
    PlugQuietly(device);
    Start();
    TickOut();
    EXPECT_EQ(View(), NotFoundView());
}

TEST_F(TargetDetectionTest, OfTwoAdaptersTheFirstSlotWins) {
    PlugQuietly(OtherDevice());
    PlugQuietly(Adapter(u"FIRST"));
    PlugQuietly(Adapter(u"SECOND"));
    Start();
    TickOut();
    EXPECT_EQ(View(), ConnectedView("FIRST"));
    EXPECT_EQ(form->TargetDevice(), form->DevListDevice(1));
    EXPECT_FALSE(form->DevListDevice(2)->HasReadThread()) << "the other one is left alone";
}

TEST_F(TargetDetectionTest, AnAdapterWithoutSerialNumberLeavesTwoBlanks) {
    TSimDeviceConfig device = Adapter();
    device.SerialNumber = TSimString::Absent();
    PlugQuietly(device);
    Start();
    TickOut();
    EXPECT_EQ(view.Panels[2], "ZEM VUZ ");
    EXPECT_EQ(view.StatusText, "ZEM VUZ  is connected.");
    EXPECT_TRUE(form->Connected());
}

TEST_F(TargetDetectionTest, AQueryOnlyAdapterIsFoundButNotRead) {
    TSimDeviceConfig device = Adapter();
    device.Access = platform::sim::TSimAccess::QueryOnly;
    PlugQuietly(device);
    Start();
    TickOut();
    EXPECT_EQ(View(), ConnectedView("VUZ0001"));
    ASSERT_NE(form->TargetDevice(), nullptr);
    EXPECT_FALSE(form->TargetDevice()->HasReadThread());
    EXPECT_FALSE(form->TargetDevice()->OnData().Assigned());
}

TEST_F(TargetDetectionTest, UnpluggingTheAdapterScansAtOnceThenReportsItMissing) {
    const TSimDeviceId adapter = PlugQuietly(Adapter());
    PlugQuietly(OtherDevice());
    Start();
    TickOut();
    ASSERT_TRUE(form->Connected());
    const TLines before = Log();

    Unplug(adapter);
    EXPECT_EQ(View(), ScanningView());
    EXPECT_EQ(form->TargetDevice(), nullptr);
    EXPECT_EQ(DeviceList().size(), 1U) << "the adapter's entry is gone";
    EXPECT_TRUE(form->Connected()) << "until the next search";
    EXPECT_EQ(From(WithoutReadErrors(Log()), before.size()),
              (TLines{std::string(), "Scanning..."}));

    TickOut();
    EXPECT_EQ(View(), NotFoundView());
    EXPECT_FALSE(form->Connected());
}

TEST_F(TargetDetectionTest, AnAdapterThatComesBackWhileScanningIsFoundAgain) {
    const TSimDeviceId adapter = PlugQuietly(Adapter(u"BACK"));
    Start();
    TickOut();
    Unplug(adapter);
    Tick();
    // Connected still reads true here, so this arrival does not re-arm; the count goes on.
    Plug(Adapter(u"BACK"));
    EXPECT_EQ(form->CheckTargetTimer().Tag, 2);
    Tick(2);
    EXPECT_EQ(View(), ConnectedView("BACK"));
    EXPECT_TRUE(ReadThreadRuns());
}

TEST_F(TargetDetectionTest, OtherDevicesComingAndGoingWhileConnectedChangeNothing) {
    const TSimDeviceId other = PlugQuietly(OtherDevice());
    PlugQuietly(Adapter());
    Start();
    TickOut();
    const TView connected = View();
    const TLines log = Log();
    hid::THidDevice* target = form->TargetDevice();

    const TSimDeviceId newcomer = Plug(OtherDevice(0x1234, 0x5678));
    Unplug(other); // held by the window
    Unplug(newcomer);
    Plug(OtherDevice(0x1234, 0x5678));

    EXPECT_EQ(View(), connected);
    EXPECT_EQ(Log(), log);
    EXPECT_FALSE(form->CheckTargetTimer().Enabled());
    EXPECT_EQ(form->TargetDevice(), target);
    EXPECT_EQ(DeviceList().size(), 2U) << "the list keeps the departed device's entry";
    EXPECT_TRUE(ReadThreadRuns());
}

TEST_F(TargetDetectionTest, ASecondActivationDoesNotRebuild) {
    PlugQuietly(Adapter());
    Start();
    TickOut();
    const TLines log = Log();
    hid::THidDevice* target = form->TargetDevice();
    Bus().ResetCallCounts();

    form->FormActivate(nullptr);
    Serve();

    EXPECT_EQ(Log(), log);
    EXPECT_EQ(form->TargetDevice(), target);
    EXPECT_EQ(Bus().CallCount("SetupDiGetClassDevsA"), 0U) << "no reconciliation";
}

TEST_F(TargetDetectionTest, ARebuildWhileScanningLogsNothingMore) {
    Start();
    Plug(OtherDevice());
    Plug(OtherDevice(0x1111, 0x2222));
    Plug(OtherDevice(0x3333, 0x4444));
    EXPECT_THAT(Log(), ElementsAre(std::string(), "Scanning..."));
    EXPECT_EQ(DeviceList().size(), 3U);
}

TEST_F(TargetDetectionTest, TheRebuildChecksEveryDeviceInAgainAndOutAfresh) {
    PlugQuietly(OtherDevice());
    Start();
    hid::THidDevice* first = form->DevListDevice(0);
    EXPECT_TRUE(first->IsCheckedOut());
    Plug(Adapter());
    ASSERT_EQ(DeviceList().size(), 2U);
    EXPECT_TRUE(form->DevListDevice(0)->IsCheckedOut());
    EXPECT_TRUE(form->DevListDevice(1)->IsCheckedOut());
    EXPECT_EQ(form->HidCtl().CheckedOutCount(), 2);
    EXPECT_EQ(form->HidCtl().CheckedInCount(), 0);
}

} // namespace
} // namespace apptest
