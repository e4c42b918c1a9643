// The demo's fixed scenario for runs without a display: the adapter arrives, is found,
// "Program" is pressed, the report reaches the bus, the adapter leaves and the window
// reports it missing. Ends the event loop with 0 when every step happened in time.
#pragma once

#include <QTimer>

class TMainForm;

namespace demo {

class TDemoAdapter;
class TDemoOutput;

inline constexpr int StepPauseMs = 1000;
inline constexpr int ScenarioDeadlineMs = 30000;

class TDemoScenario {
public:
    TDemoScenario(TMainForm& form, TDemoAdapter& adapter, TDemoOutput& output);

    void Start();

private:
    enum class TStep { WaitConnected, Programming, WaitNotFound, Done };

    void Poll();
    void Program();
    void Finish(int exitCode, const char* what);

    TMainForm& form;
    TDemoAdapter& adapter;
    TDemoOutput& output;
    TStep step = TStep::WaitConnected;
    QTimer poll;
    QTimer deadline;
};

} // namespace demo
