// The demo's fixed scenario for runs without a display: the adapter arrives, is found,
// "Program" is pressed, the report reaches the bus, the adapter leaves and the window
// reports it missing. Ends the run with 0 when every step happened in time.
#pragma once

#include "app/core/FormTimer.h"

#include <functional>
#include <memory>

namespace app {
class TMainForm;
}

namespace demo {

class TDemoAdapter;
class TDemoOutput;

inline constexpr int StepPauseMs = 1000;
inline constexpr int ScenarioDeadlineMs = 30000;

class TDemoScenario {
public:
    // pressProgram presses the window's "Program" button as a user would; quit ends the
    // front end's loop with the exit code. The timers come from the front end's loop.
    TDemoScenario(app::TMainForm& form, TDemoAdapter& adapter, TDemoOutput& output,
                  const app::TTimerFactory& makeTimer, std::function<void()> pressProgram,
                  std::function<void(int exitCode)> quit);

    void Start();

private:
    enum class TStep { WaitConnected, Programming, Unplugging, WaitNotFound, Done };

    void Poll();
    void Program();
    void Finish(int exitCode, const char* what);
    // Runs the next step once after StepPauseMs.
    void PauseThen(TStep next);

    app::TMainForm& form;
    TDemoAdapter& adapter;
    TDemoOutput& output;
    std::function<void()> pressProgram;
    std::function<void(int)> quit;
    TStep step = TStep::WaitConnected;
    std::unique_ptr<app::TTimer> poll;
    std::unique_ptr<app::TTimer> deadline;
    std::unique_ptr<app::TTimer> pause;
};

} // namespace demo
