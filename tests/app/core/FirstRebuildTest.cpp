// An adapter that is there when the program starts is found, whatever comes between the
// window's construction and the moment it starts detecting (its first activation, or its
// showing when no activation ever comes): device-change notifications that take the place of
// the controller's first forced one, other devices coming and going, a countdown that runs
// out before the window is shown.
#include "SimFormFixture.h"

#include <functional>

namespace apptest {
namespace {

using testing::ElementsAre;

using platform::sim::TSimBus;

// Lets the message loop deliver what is waiting, as it does before the window is shown.
void ServeLoop() {
    runtime::PumpPending();
}

TSimDeviceId PlugAdapterQuietly(TSimBus& bus) {
    return bus.Plug(Adapter(), TBroadcast::No);
}

struct TStartCase {
    const char* name;
    // Runs after the window's construction and before detection starts; returns the
    // adapter's id.
    std::function<TSimDeviceId(TSimBus& bus, app::TMainForm& form)> before;
    // Shown only: no activation ever comes.
    bool showOnly = false;
};

void PrintTo(const TStartCase& c, std::ostream* out) {
    *out << c.name;
}

class FirstRebuildTest : public SimFormTest, public testing::WithParamInterface<TStartCase> {};

TEST_P(FirstRebuildTest, TheAdapterPresentAtStartIsFound) {
    const TStartCase& c = GetParam();
    CreateForm();
    const TSimDeviceId adapter = c.before(Bus(), *form);
    if (c.showOnly) {
        form->FormShow(nullptr);
    } else {
        form->FormActivate(nullptr);
    }
    Serve();

    TickOut();
    EXPECT_EQ(View(), ConnectedView("VUZ0001"));
    EXPECT_THAT(WithoutReadErrors(Log()),
                ElementsAre(std::string(), "Scanning...", "ZEM VUZ VUZ0001 is connected."));

    // "Program" reaches the adapter.
    PressProgram();
    EXPECT_EQ(Bus().Writes(adapter).size(), 1U);

    // Later activations and showings rebuild nothing.
    const std::size_t logged = Log().size();
    form->FormActivate(nullptr);
    form->FormShow(nullptr);
    Serve();
    EXPECT_FALSE(form->CheckTargetTimer().Enabled());
    EXPECT_TRUE(form->Connected());
    EXPECT_THAT(From(Log(), logged), testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Orders, FirstRebuildTest,
    testing::Values(
        TStartCase{"NothingElse",
                   [](TSimBus& bus, app::TMainForm&) {
                       const TSimDeviceId adapter = PlugAdapterQuietly(bus);
                       ServeLoop();
                       return adapter;
                   }},
        TStartCase{"DetectingBeforeTheFirstNotification",
                   [](TSimBus& bus, app::TMainForm&) {
                       return PlugAdapterQuietly(bus);
                   }},
        TStartCase{"AnEmptyNotification",
                   [](TSimBus& bus, app::TMainForm&) {
                       const TSimDeviceId adapter = PlugAdapterQuietly(bus);
                       ServeLoop();
                       bus.BroadcastDeviceChange();
                       ServeLoop();
                       return adapter;
                   }},
        TStartCase{"TheAdaptersOwnAddEvent",
                   [](TSimBus& bus, app::TMainForm&) {
                       // Its node is there when the controller first looks; its add event
                       // comes after that.
                       const TSimDeviceId adapter = bus.Plug(Adapter());
                       ServeLoop();
                       return adapter;
                   }},
        TStartCase{"AnotherDeviceArrivesAndLeaves",
                   [](TSimBus& bus, app::TMainForm&) {
                       const TSimDeviceId adapter = PlugAdapterQuietly(bus);
                       ServeLoop();
                       const TSimDeviceId other = bus.Plug(OtherDevice());
                       ServeLoop();
                       bus.Unplug(other);
                       ServeLoop();
                       return adapter;
                   }},
        TStartCase{"DetectingAfterTheCountdownRanOut",
                   [](TSimBus& bus, app::TMainForm& form) {
                       const TSimDeviceId adapter = PlugAdapterQuietly(bus);
                       ServeLoop();
                       for (int tick = 0; tick < app::TMainForm::CountdownTicks; ++tick) {
                           form.CheckTargetTimer().Tick();
                       }
                       return adapter;
                   }},
        TStartCase{"ShownNeverActivated",
                   [](TSimBus& bus, app::TMainForm&) { return PlugAdapterQuietly(bus); }, true},
        TStartCase{"ShownNeverActivatedAfterAnEmptyNotification",
                   [](TSimBus& bus, app::TMainForm&) {
                       const TSimDeviceId adapter = PlugAdapterQuietly(bus);
                       ServeLoop();
                       bus.BroadcastDeviceChange();
                       ServeLoop();
                       return adapter;
                   },
                   true}),
    [](const testing::TestParamInfo<TStartCase>& info) { return info.param.name; });

} // namespace
} // namespace apptest
