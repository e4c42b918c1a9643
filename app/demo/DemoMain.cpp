// vuz-demo: the utility on the simulated HID bus. With a display it is the real window to
// click; on Qt's offscreen platform it plays a fixed scenario and exits.
#include "app/MainForm.h"
#include "app/MainLoop.h"
#include "app/QtFormTimer.h"
#include "app/demo/DemoDevices.h"
#include "app/demo/DemoOutput.h"
#include "app/demo/DemoScenario.h"
#include "platform/sim/SimBus.h"

#include <QApplication>
#include <QPushButton>
#include <memory>

int main(int argc, char* argv[]) {
    auto simBus = std::make_unique<platform::sim::TSimBus>();
    platform::sim::TSimBus& bus = *simBus;
    platform::InstallServices(std::move(simBus));
    demo::PlugStandingDevices(bus);

    QApplication application(argc, argv);
    const app::TMainLoopHooks mainLoop;
    demo::TDemoOutput output;
    demo::TDemoAdapter adapter(bus, [] { return std::make_unique<TQtFormTimer>(); });
    adapter.OnPlugChange = [&output](bool plugged) {
        output.Print(QStringLiteral("bus"), plugged ? QStringLiteral("adapter DEMO0001 plugged in")
                                                    : QStringLiteral("adapter DEMO0001 unplugged"));
    };
    adapter.OnReportSent = [&output](const std::vector<BYTE>& report) {
        output.Print(QStringLiteral("bus"), QStringLiteral("adapter sends input report ") +
                                                demo::TDemoOutput::Hex(report));
    };

    int exitCode = 0;
    {
        TMainForm MainForm;
        output.FollowLog(MainForm, adapter);
        // Connected after the window's own handler: the write is over when this runs.
        QObject::connect(MainForm.InProgButton(), &QPushButton::clicked, &MainForm,
                         [&output, &adapter] { output.PrintNewWrites(adapter); });

        const bool scripted = QGuiApplication::platformName() == QStringLiteral("offscreen");
        demo::TDemoScenario scenario(MainForm, adapter, output);
        output.Print(QStringLiteral("demo"), QStringLiteral("simulated bus: a keyboard and a mouse "
                                                            "present; the adapter arrives soon"));
        MainForm.show();
        MainForm.activateWindow();
        adapter.ArriveSoon();
        if (scripted) {
            scenario.Start();
        }
        exitCode = QApplication::exec();
        // The window ends before the bus it talks to.
    }
    return exitCode;
}
