// vuz-demo on Windows: the utility on the simulated HID bus in the native window. It is the
// real window to click; started with --scenario it plays the fixed scenario and exits.
#include "app/core/MainForm.h"
#include "app/demo/DemoDevices.h"
#include "app/demo/DemoOutput.h"
#include "app/demo/DemoScenario.h"
#include "app/demo/DemoWindow.h"
#include "app/win32/FormWindow.h"
#include "app/win32/Layout.h"
#include "app/win32/MessageLoop.h"
#include "app/win32/WindowTimer.h"
#include "platform/sim/SimBus.h"
#include "runtime/MainThreadQueue.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

// A window program has no console of its own: when started from one without redirection,
// print there.
void PrintToParentConsole() {
    const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (output != nullptr && output != INVALID_HANDLE_VALUE) {
        return;
    }
    if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::FILE* reopened = std::freopen("CONOUT$", "w", stdout);
        (void)reopened;
    }
}

bool ScenarioRequested(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scenario") == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    PrintToParentConsole();
    runtime::SetMainThread();
    auto simBus = std::make_unique<platform::sim::TSimBus>();
    platform::sim::TSimBus& bus = *simBus;
    platform::InstallServices(std::move(simBus));
    demo::PlugStandingDevices(bus);

    const app::TTimerFactory makeTimer = [] {
        return std::make_unique<app::win32::TWindowTimer>();
    };
    demo::TDemoOutput output;
    demo::TDemoAdapter adapter(bus, makeTimer);
    output.FollowAdapter(adapter);

    app::win32::TFormWindow view;
    if (view.Window() == nullptr) {
        return 1;
    }
    // Never to be taken for the program that drives a real adapter.
    view.SetTitleSuffix(std::string(demo::WindowTitleSuffix));
    int exitCode = 0;
    {
        app::TMainForm MainForm(view, std::make_unique<app::win32::TWindowTimer>());
        output.FollowLog(MainForm, adapter);
        view.OnShow = [&MainForm, &view] {
            MainForm.FormShow(&view);
        };
        view.OnActivate = [&MainForm, &view] {
            MainForm.FormActivate(&view);
        };
        view.OnProgramClick = [&MainForm, &view, &output, &adapter] {
            MainForm.InProgButtonClick(&view);
            output.PrintNewWrites(adapter);
        };
        view.OnExitClick = [&MainForm, &view] {
            MainForm.ExitButtonClick(&view);
        };

        const HWND programButton = ::GetDlgItem(view.Window(), app::win32::InProgButtonId);
        demo::TDemoScenario scenario(
            MainForm, adapter, output, makeTimer,
            [programButton] { ::SendMessageW(programButton, BM_CLICK, 0, 0); },
            [](int code) { ::PostQuitMessage(code); });
        output.Print("demo", demo::SetupText);
        view.Show();
        adapter.ArriveSoon();
        if (ScenarioRequested(argc, argv)) {
            scenario.Start();
        }
        exitCode = app::win32::RunMessageLoop(view.Window());
        view.OnShow = nullptr;
        view.OnActivate = nullptr;
        view.OnProgramClick = nullptr;
        view.OnExitClick = nullptr;
        // The window's behaviour ends before its view and the bus it talks to.
    }
    return exitCode;
}
