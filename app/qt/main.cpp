// Program entry: the native platform services, the application object, the main window,
// the message loop.
#include "app/qt/MainLoop.h"
#include "app/qt/PlatformChatter.h"
#include "app/qt/QtMainForm.h"
#include "platform/PlatformServices.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    platform::InstallServices(platform::CreateNativeServices());

    qtview::FilterPlatformChatter();
    QApplication application(argc, argv);
    const app::TMainLoopHooks mainLoop;
    qtview::TQtMainForm MainForm;
    // Showing the window starts detection; it is also made active where a window manager
    // lets it be.
    MainForm.show();
    MainForm.activateWindow();
    return application.exec();
}
