// The app tests run inside one QApplication on the offscreen platform, with the runtime's
// main-thread queue joined to Qt's event loop as in the program.
#include "app/qt/MainLoop.h"
#include "app/qt/PlatformChatter.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qtview::FilterPlatformChatter();
    QApplication application(argc, argv);
    const app::TMainLoopHooks mainLoop;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
