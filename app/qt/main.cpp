// Program entry: the native platform services, the application object, the main window,
// the message loop.
#include "app/MainLoop.h"
#include "app/qt/QtMainForm.h"
#include "platform/PlatformServices.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    platform::InstallServices(platform::CreateNativeServices());

    QApplication application(argc, argv);
    const app::TMainLoopHooks mainLoop;
    qtview::TQtMainForm MainForm;
    MainForm.show();
    // Detection starts at the first activation; without a window manager nothing else
    // activates the window.
    MainForm.activateWindow();
    return application.exec();
}
