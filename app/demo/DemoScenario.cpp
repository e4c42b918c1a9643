#include "app/demo/DemoScenario.h"

#include "app/core/MainForm.h"
#include "app/demo/DemoDevices.h"
#include "app/demo/DemoOutput.h"

#include <string>

namespace demo {

namespace {

constexpr int PollMs = 20;
const std::string NotFoundText = "Please connect VUZ Device.";

} // namespace

TDemoScenario::TDemoScenario(app::TMainForm& form, TDemoAdapter& adapter, TDemoOutput& output,
                             const app::TTimerFactory& makeTimer,
                             std::function<void()> pressProgram,
                             std::function<void(int exitCode)> quit)
    : form(form), adapter(adapter), output(output), pressProgram(std::move(pressProgram)),
      quit(std::move(quit)), poll(makeTimer()), deadline(makeTimer()), pause(makeTimer()) {
    poll->SetInterval(PollMs);
    poll->OnTimer = [this](app::TTimer& /*timer*/) {
        Poll();
    };
    deadline->SetInterval(ScenarioDeadlineMs);
    deadline->OnTimer = [this](app::TTimer& /*timer*/) {
        Finish(1, "scenario failed: a step did not happen in time");
    };
    pause->SetInterval(StepPauseMs);
    pause->OnTimer = [this](app::TTimer& timer) {
        timer.SetEnabled(false);
        switch (step) {
        case TStep::Programming:
            Program();
            break;
        case TStep::Unplugging:
            step = TStep::WaitNotFound;
            this->adapter.Unplug();
            break;
        case TStep::WaitConnected:
        case TStep::WaitNotFound:
        case TStep::Done:
            break;
        }
    };
}

void TDemoScenario::Start() {
    output.Print("demo", "scenario: adapter arrives, Program, adapter leaves");
    poll->SetEnabled(true);
    deadline->SetEnabled(true);
}

void TDemoScenario::PauseThen(TStep next) {
    step = next;
    pause->SetEnabled(true);
}

void TDemoScenario::Poll() {
    switch (step) {
    case TStep::WaitConnected:
        // The button is enabled before the window counts as connected.
        if (form.Connected() && form.TargetDevice() != nullptr) {
            PauseThen(TStep::Programming);
        }
        break;
    case TStep::WaitNotFound:
        if (!form.Connected() && form.StatusText() == NotFoundText) {
            Finish(0, "scenario complete");
        }
        break;
    case TStep::Programming:
    case TStep::Unplugging:
    case TStep::Done:
        break;
    }
}

void TDemoScenario::Program() {
    output.Print("demo", "pressing Program");
    pressProgram();
    // The write is over when the press returns.
    output.PrintNewWrites(adapter);
    if (output.ReportsWritten() == 0) {
        Finish(1, "scenario failed: no report reached the adapter");
        return;
    }
    PauseThen(TStep::Unplugging);
}

void TDemoScenario::Finish(int exitCode, const char* what) {
    if (step == TStep::Done) {
        return;
    }
    step = TStep::Done;
    poll->SetEnabled(false);
    deadline->SetEnabled(false);
    pause->SetEnabled(false);
    output.Print("demo", what);
    if (const auto peak = TDemoOutput::PeakResidentKiB()) {
        output.Print("demo", "peak memory " + std::to_string(*peak) + " KiB");
    }
    quit(exitCode);
}

} // namespace demo
