// vuz-utility on Windows: the system's HID libraries, the native window, its message loop.
#include "app/core/MainForm.h"
#include "app/win32/FormWindow.h"
#include "app/win32/MessageLoop.h"
#include "app/win32/WindowTimer.h"
#include "platform/PlatformServices.h"
#include "runtime/MainThreadQueue.h"

#include <memory>

int main() {
    runtime::SetMainThread();
    platform::InstallServices(platform::CreateNativeServices());

    app::win32::TFormWindow view;
    if (view.Window() == nullptr) {
        return 1;
    }
    int exitCode = 0;
    {
        app::TMainForm MainForm(view, std::make_unique<app::win32::TWindowTimer>());
        view.OnShow = [&MainForm, &view] {
            MainForm.FormShow(&view);
        };
        view.OnActivate = [&MainForm, &view] {
            MainForm.FormActivate(&view);
        };
        view.OnProgramClick = [&MainForm, &view] {
            MainForm.InProgButtonClick(&view);
        };
        view.OnExitClick = [&MainForm, &view] {
            MainForm.ExitButtonClick(&view);
        };
        view.Show();
        exitCode = app::win32::RunMessageLoop(view.Window());
        view.OnShow = nullptr;
        view.OnActivate = nullptr;
        view.OnProgramClick = nullptr;
        view.OnExitClick = nullptr;
        // The window's behaviour ends before its view.
    }
    return exitCode;
}
