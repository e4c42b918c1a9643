// Where the keyboard focus is when "Program" is enabled again: the window gives "Program"
// the focus at activation, and the first rebuild disables it.
#include "SimFormFixture.h"

namespace apptest {
namespace {

using app::TFocus;

// NoFocusYet: a window shown and not yet activated, with the focus on no control.
enum class TUserMove { None, NoFocusYet, BeforeTheRebuild, WhileDisabled };

struct TFocusCase {
    const char* name;
    bool adapterAtStart;
    TUserMove move;
    TFocus expected;
};

class ProgramFocusTest : public SimFormTest, public testing::WithParamInterface<TFocusCase> {};

TEST_P(ProgramFocusTest, ProgramHasTheFocusWhenEnabledAgainUnlessTheUserMovedIt) {
    const TFocusCase& c = GetParam();
    if (c.adapterAtStart) {
        PlugQuietly(Adapter());
    } else {
        PlugQuietly(OtherDevice());
    }
    if (c.move == TUserMove::NoFocusYet) {
        view.FocusAt = TFocus::Nowhere;
    }
    if (c.move == TUserMove::BeforeTheRebuild) {
        view.FocusAt = TFocus::Elsewhere;
    }
    Start();
    ASSERT_FALSE(view.ProgramEnabled);
    if (c.move == TUserMove::WhileDisabled) {
        view.FocusAt = TFocus::Elsewhere;
    }
    TickOut();
    if (!c.adapterAtStart) {
        ASSERT_EQ(View(), NotFoundView());
        EXPECT_NE(view.FocusAt, TFocus::ProgramButton);
        Plug(Adapter());
        TickOut();
    }

    ASSERT_EQ(View(), ConnectedView("VUZ0001"));
    EXPECT_EQ(view.FocusAt, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramFocusTest,
    testing::Values(
        TFocusCase{"AdapterFound", true, TUserMove::None, TFocus::ProgramButton},
        TFocusCase{"AdapterPluggedInLater", false, TUserMove::None, TFocus::ProgramButton},
        TFocusCase{"NoFocusYet", true, TUserMove::NoFocusYet, TFocus::ProgramButton},
        TFocusCase{"UserMovedTheFocusFirst", true, TUserMove::BeforeTheRebuild, TFocus::Elsewhere},
        TFocusCase{"UserMovedTheFocusWhileScanning", true, TUserMove::WhileDisabled,
                   TFocus::Elsewhere},
        TFocusCase{"UserMovedTheFocusWhileNoAdapter", false, TUserMove::WhileDisabled,
                   TFocus::Elsewhere}),
    [](const testing::TestParamInfo<TFocusCase>& info) { return info.param.name; });

using ProgramFocusAfterCommandTest = SimFormTest;

TEST_F(ProgramFocusAfterCommandTest, AfterProgramAndAReconnectionTheFocusIsOnProgramAgain) {
    const TSimDeviceId id = PlugQuietly(Adapter());
    Start();
    TickOut();
    PressProgram();
    ASSERT_EQ(view.FocusAt, TFocus::ProgramButton);

    Unplug(id);
    EXPECT_EQ(view.FocusAt, TFocus::Nowhere);
    TickOut();
    Plug(Adapter(u"VUZ0002"));
    TickOut();

    EXPECT_EQ(view.FocusAt, TFocus::ProgramButton);
}

} // namespace
} // namespace apptest
