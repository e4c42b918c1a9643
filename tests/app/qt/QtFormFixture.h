// The Qt window on a fresh simulated HID bus, for the tests of what the view paints and of
// its event loop; the bus is checked for misuse and leaks once the window is gone.
#pragma once

#include "SimFormFixture.h"
#include "app/qt/QtMainForm.h"

#include <memory>

namespace apptest {

class QtFormTest : public testing::Test {
protected:
    void TearDown() override {
        window.reset();
        runtime::PumpPending();
        EXPECT_THAT(sim->Violations(), testing::IsEmpty());
        EXPECT_THAT(sim->Leaks(), testing::IsEmpty());
    }

    platform::sim::TSimBus& Bus() { return sim.Bus(); }
    app::TMainForm& Core() const { return window->Core(); }

    void CreateWindow() { window = std::make_unique<qtview::TQtMainForm>(); }
    // Ticks until the countdown has ended.
    void TickOut() {
        for (int i = 0; i < app::TMainForm::CountdownTicks && Core().CheckTargetTimer().Enabled();
             ++i) {
            Core().CheckTargetTimer().Tick();
        }
    }

    platform::sim::TScopedSimBus sim;
    std::unique_ptr<qtview::TQtMainForm> window;
};

} // namespace apptest
