#include "SimFormFixture.h"

namespace apptest {
namespace {

// How things stand when the window is destroyed. After it, the fixture checks that the bus
// saw no misuse (no HID call after the binding was released, nothing closed twice) and
// that nothing is left open.
enum class TAtExit {
    NotActivated,
    NoDevices,
    Scanning,
    ConnectedAndReading,
    ReportsInFlight,
    AdapterPulledNotNoticed,
    HeldDeviceGone,
    AfterExitButton,
};

const char* Name(TAtExit state) {
    switch (state) {
    case TAtExit::NotActivated:
        return "NotActivated";
    case TAtExit::NoDevices:
        return "NoDevices";
    case TAtExit::Scanning:
        return "Scanning";
    case TAtExit::ConnectedAndReading:
        return "ConnectedAndReading";
    case TAtExit::ReportsInFlight:
        return "ReportsInFlight";
    case TAtExit::AdapterPulledNotNoticed:
        return "AdapterPulledNotNoticed";
    case TAtExit::HeldDeviceGone:
        return "HeldDeviceGone";
    case TAtExit::AfterExitButton:
        return "AfterExitButton";
    }
    return "Unknown";
}

void PrintTo(TAtExit state, std::ostream* out) {
    *out << Name(state);
}

class ShutdownTest : public SimFormTest, public testing::WithParamInterface<TAtExit> {};

TEST_P(ShutdownTest, TheWindowEndsCleanly) {
    const TSimDeviceId other = PlugQuietly(OtherDevice());
    const TSimDeviceId adapter = PlugQuietly(Adapter());
    CreateForm();
    if (GetParam() != TAtExit::NotActivated) {
        form->FormActivate(nullptr);
        Serve();
    }
    switch (GetParam()) {
    case TAtExit::NotActivated:
        break;
    case TAtExit::NoDevices:
        Unplug(adapter);
        Unplug(other);
        TickOut();
        break;
    case TAtExit::Scanning:
        Tick();
        break;
    case TAtExit::ConnectedAndReading:
        TickOut();
        ASSERT_TRUE(ReadThreadRuns());
        break;
    case TAtExit::ReportsInFlight:
        TickOut();
        for (BYTE i = 0; i < 20; ++i) {
            Bus().PushInputReport(adapter, {0x01, i});
        }
        break;
    case TAtExit::AdapterPulledNotNoticed:
        TickOut();
        Bus().Unplug(adapter); // its notification never gets delivered
        break;
    case TAtExit::HeldDeviceGone:
        TickOut();
        Unplug(other);
        break;
    case TAtExit::AfterExitButton:
        TickOut();
        form->ExitButtonClick(nullptr);
        EXPECT_TRUE(form->Closing);
        break;
    }
    form.reset();
    Serve();

    EXPECT_EQ(Bus().ReferenceCount(platform::sim::kHidModule), 0);
    EXPECT_EQ(Bus().ReferenceCount(platform::sim::kSetupApiModule), 0);
    EXPECT_EQ(Bus().OpenHandleCount(), 0U);
    EXPECT_EQ(Bus().WindowCount(), 0U);
}

INSTANTIATE_TEST_SUITE_P(States, ShutdownTest,
                         testing::Values(TAtExit::NotActivated, TAtExit::NoDevices,
                                         TAtExit::Scanning, TAtExit::ConnectedAndReading,
                                         TAtExit::ReportsInFlight, TAtExit::AdapterPulledNotNoticed,
                                         TAtExit::HeldDeviceGone, TAtExit::AfterExitButton),
                         [](const testing::TestParamInfo<TAtExit>& info) {
                             return std::string(Name(info.param));
                         });

} // namespace
} // namespace apptest
