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

class ShutdownTest : public SimFormTest, public testing::WithParamInterface<TAtExit> {};

TEST_P(ShutdownTest, TheWindowEndsCleanly) {
    const TSimDeviceId other = PlugQuietly(OtherDevice());
    const TSimDeviceId adapter = PlugQuietly(Adapter());
    CreateForm();
    if (GetParam() != TAtExit::NotActivated) {
        form->FormActivate(form.get());
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
        form->show();
        form->ExitButton()->click();
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
                                         TAtExit::HeldDeviceGone, TAtExit::AfterExitButton));

} // namespace
} // namespace apptest
