// Prints how long a press of "Program" takes until the bus has captured the report (p50,
// p99, max over many presses), and the peak resident memory of vuz-demo over its offscreen
// scenario. Asserts nothing.
#include "app/qt/MainLoop.h"
#include "app/qt/PlatformChatter.h"
#include "app/qt/QtMainForm.h"
#include "platform/sim/ScopedSimBus.h"
#include "runtime/Pump.h"

#include <QApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

double Percentile(const std::vector<double>& sorted, double p) {
    const auto index = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

int MeasureClicks(int presses) {
    platform::sim::TScopedSimBus sim;
    const platform::sim::TSimDeviceId adapter =
        sim->Plug(platform::sim::TSimDeviceConfig{}, platform::sim::TBroadcast::No);
    // The Qt window over the shared behaviour: a press goes through the button's signal, the
    // core's handler and the Qt view's repaint of the status line.
    qtview::TQtMainForm form;
    form.Core().FormActivate(&form);
    runtime::PumpPending();
    for (int i = 0; i < app::TMainForm::CountdownTicks; ++i) {
        form.Core().CheckTargetTimer().Tick();
    }
    if (!form.Core().Connected()) {
        std::fprintf(stderr, "the adapter was not found\n");
        return 1;
    }

    constexpr int WarmUp = 200;
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(presses));
    for (int i = 0; i < WarmUp + presses; ++i) {
        const Clock::time_point start = Clock::now();
        // The write is synchronous: when the click returns, the bus holds the report.
        form.InProgButton()->click();
        const Clock::time_point end = Clock::now();
        if (i >= WarmUp) {
            times.push_back(Micros(end - start));
        }
    }
    const std::size_t captured = sim->Writes(adapter).size();
    std::sort(times.begin(), times.end());
    std::printf("Program click -> report captured by the bus, %d presses (%zu captured):\n",
                presses, captured);
    std::printf("  p50 %.1f us   p99 %.1f us   max %.1f us\n", Percentile(times, 0.50),
                Percentile(times, 0.99), times.back());
    return captured == static_cast<std::size_t>(WarmUp + presses) ? 0 : 1;
}

int MeasureDemoMemory() {
    QProcess demo;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    demo.setProcessEnvironment(environment);
    demo.setProcessChannelMode(QProcess::MergedChannels);
    demo.start(QStringLiteral(VUZ_DEMO_PROGRAM), {});
    if (!demo.waitForFinished(60000) || demo.exitCode() != 0) {
        std::fprintf(stderr, "vuz-demo failed:\n%s\n", demo.readAll().constData());
        return 1;
    }
    // The demo reports its own high-water mark: a child's rusage would also count the
    // pages it shared with this process before it ran the demo.
    const QByteArray output = demo.readAll();
    const qsizetype at = output.indexOf("peak memory ");
    if (at < 0) {
        std::fprintf(stderr, "vuz-demo did not report its peak memory\n");
        return 1;
    }
    const QByteArray kib = output.mid(at + 12).split(' ').value(0);
    std::printf("vuz-demo offscreen scenario: peak RSS %s KiB\n", kib.constData());
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const int presses = argc > 1 ? std::atoi(argv[1]) : 5000;
    qtview::FilterPlatformChatter();
    QApplication application(argc, argv);
    const app::TMainLoopHooks mainLoop;
    int failed = MeasureClicks(presses > 0 ? presses : 5000);
    failed += MeasureDemoMemory();
    return failed == 0 ? 0 : 1;
}
