// vuz-demo: the utility on the simulated HID bus. With a display it is the real window to
// click; on Qt's offscreen platform it plays a fixed scenario and exits.
#include "app/demo/DemoDevices.h"
#include "app/demo/DemoOutput.h"
#include "app/demo/DemoScenario.h"
#include "app/demo/DemoWindow.h"
#include "app/qt/MainLoop.h"
#include "app/qt/PlatformChatter.h"
#include "app/qt/QtFormTimer.h"
#include "app/qt/QtMainForm.h"
#include "platform/sim/SimBus.h"

#include <QApplication>
#include <QIcon>
#include <QPushButton>
#include <memory>
#include <string>

int main(int argc, char* argv[]) {
    auto simBus = std::make_unique<platform::sim::TSimBus>();
    platform::sim::TSimBus& bus = *simBus;
    platform::InstallServices(std::move(simBus));
    demo::PlugStandingDevices(bus);

    // Standard output carries the demo's own lines.
    qtview::FilterPlatformChatter();
    QApplication application(argc, argv);
    const app::TMainLoopHooks mainLoop;
    const app::TTimerFactory makeTimer = [] {
        return std::make_unique<TQtFormTimer>();
    };
    demo::TDemoOutput output;
    demo::TDemoAdapter adapter(bus, makeTimer);
    output.FollowAdapter(adapter);

    int exitCode = 0;
    {
        qtview::TQtMainForm window;
        // Never to be taken for the program that drives a real adapter.
        window.SetTitleSuffix(std::string(demo::WindowTitleSuffix));
        window.setWindowIcon(QIcon(QStringLiteral(":/images/vuz-demo.png")));
        output.FollowLog(window.Core(), adapter);
        // Connected after the window's own handler: the write is over when this runs.
        QObject::connect(window.InProgButton(), &QPushButton::clicked, &window,
                         [&output, &adapter] { output.PrintNewWrites(adapter); });

        const bool scripted = QGuiApplication::platformName() == QStringLiteral("offscreen");
        demo::TDemoScenario scenario(
            window.Core(), adapter, output, makeTimer,
            [&window] { window.InProgButton()->click(); },
            [](int code) { QCoreApplication::exit(code); });
        output.Print("demo", demo::SetupText);
        window.show();
        window.activateWindow();
        adapter.ArriveSoon();
        if (scripted) {
            scenario.Start();
        }
        exitCode = QApplication::exec();
        // The window ends before the bus it talks to.
    }
    return exitCode;
}
