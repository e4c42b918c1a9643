// A device change that arrives while the window rebuilds its list: stopping the held
// adapter's read thread must not deliver the waiting notification inside the rebuild, where
// the controller would drop it.
#include "SimFormFixture.h"

namespace apptest {
namespace {

class RebuildRaceTest : public SimFormTest {};

// A flaky cable, a USB reset or the switch coming back: the adapter returns at the moment
// the log shows "Scanning...", while its read thread still runs.
TEST_F(RebuildRaceTest, AnAdapterBackDuringTheRebuildEndsConnected) {
    Start();
    const TSimDeviceId adapter = Plug(Adapter(u"FLAKY1"));
    TickOut();
    ASSERT_EQ(View(), ConnectedView("FLAKY1"));
    ASSERT_TRUE(ReadThreadRuns());

    bool pluggedBack = false;
    bool threadRanThen = false;
    form->OnLogLine = [&](const std::string& line) {
        if (pluggedBack || line != "Scanning...") {
            return;
        }
        pluggedBack = true;
        threadRanThen = ReadThreadRuns();
        Bus().Plug(Adapter(u"FLAKY1"));
    };

    Unplug(adapter);
    ASSERT_TRUE(pluggedBack);
    EXPECT_TRUE(threadRanThen);

    TickOut();
    EXPECT_EQ(View(), ConnectedView("FLAKY1"));
    EXPECT_TRUE(ReadThreadRuns());
    EXPECT_EQ(From(WithoutReadErrors(Log()), 3),
              (TLines{"", "Scanning...", "ZEM VUZ FLAKY1 is connected."}));
}

} // namespace
} // namespace apptest
