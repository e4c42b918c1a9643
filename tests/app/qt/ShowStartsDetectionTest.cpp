// A window that is shown and never activated (a Wayland compositor that gives it no focus, a
// desktop that refuses focus to a program started in the background) finds the adapter. The
// offscreen platform activates every window it shows, so the show event is delivered here
// without the platform's showing; the Wayland run of the demo shows the real thing.
#include "QtFormFixture.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QShowEvent>

namespace apptest {
namespace {

class ShowStartsDetectionTest : public QtFormTest {};

TEST_F(ShowStartsDetectionTest, AShownWindowThatIsNeverActivatedFindsTheAdapter) {
    const TSimDeviceId adapter = Bus().Plug(Adapter(u"SHOWN1"), TBroadcast::No);
    CreateWindow();
    QShowEvent shown;
    QCoreApplication::sendEvent(window.get(), &shown);
    runtime::PumpPending();
    ASSERT_FALSE(window->isActiveWindow());

    EXPECT_EQ(Core().StatusText(), "Scanning...");
    TickOut();
    EXPECT_EQ(Core().StatusText(), "ZEM VUZ SHOWN1 is connected.");
    window->InProgButton()->click();
    EXPECT_EQ(Bus().Writes(adapter).size(), 1U);
}

} // namespace
} // namespace apptest
