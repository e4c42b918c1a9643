#include "RecordingView.h"
#include "app/core/MainForm.h"
#include "platform/sim/ScopedSimBus.h"
#include "runtime/Pump.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace apptest {
namespace {

using platform::sim::TSimDeviceConfig;
using platform::sim::TSimString;

TEST(CoreSmoke, FindsTheAdapterAndWritesTheCommand) {
    platform::sim::TScopedSimBus sim;
    TRecordingView view;
    {
        app::TMainForm form(view, std::make_unique<app::TManualTimer>());
        EXPECT_EQ(view.Caption, "ZEM VUZ Utility V1.0");
        form.FormActivate(nullptr);
        runtime::PumpPending();

        TSimDeviceConfig adapter;
        adapter.Product = TSimString::Present(u"VUZ Programming Adapter");
        adapter.SerialNumber = TSimString::Present(u"SER42");
        const auto id = sim.Bus().Plug(adapter);
        runtime::PumpPending();
        EXPECT_EQ(view.StatusText, "Scanning...");
        for (int i = 0; i < 3; ++i) {
            form.CheckTargetTimer().Tick();
        }
        EXPECT_EQ(view.StatusText, "ZEM VUZ SER42 is connected.");
        EXPECT_EQ(view.StatusColour, app::ConnectedColour);
        form.InProgButtonClick(nullptr);
        ASSERT_EQ(sim.Bus().Writes(id).size(), 1U);
        EXPECT_THAT(sim.Bus().Writes(id)[0], testing::ElementsAre(0x05, 0x00, 0x02, 0, 0, 0, 0, 0));
    }
    runtime::PumpPending();
    EXPECT_THAT(sim->Violations(), testing::IsEmpty());
    EXPECT_THAT(sim->Leaks(), testing::IsEmpty());
}

} // namespace
} // namespace apptest
