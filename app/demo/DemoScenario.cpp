#include "app/demo/DemoScenario.h"

#include "app/MainForm.h"
#include "app/demo/DemoDevices.h"
#include "app/demo/DemoOutput.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

namespace demo {

namespace {

constexpr int PollMs = 20;

} // namespace

TDemoScenario::TDemoScenario(TMainForm& form, TDemoAdapter& adapter, TDemoOutput& output)
    : form(form), adapter(adapter), output(output) {
    poll.setInterval(PollMs);
    QObject::connect(&poll, &QTimer::timeout, [this] { Poll(); });
    deadline.setSingleShot(true);
    deadline.setInterval(ScenarioDeadlineMs);
    QObject::connect(&deadline, &QTimer::timeout,
                     [this] { Finish(1, "scenario failed: a step did not happen in time"); });
}

void TDemoScenario::Start() {
    output.Print(QStringLiteral("demo"),
                 QStringLiteral("scenario: adapter arrives, Program, adapter leaves"));
    poll.start();
    deadline.start();
}

void TDemoScenario::Poll() {
    switch (step) {
    case TStep::WaitConnected:
        if (form.Connected() && form.TargetDevice() != nullptr &&
            form.InProgButton()->isEnabled()) {
            step = TStep::Programming;
            QTimer::singleShot(StepPauseMs, [this] { Program(); });
        }
        break;
    case TStep::WaitNotFound:
        if (!form.Connected() &&
            form.StatusLabel()->text() == QStringLiteral("Please connect VUZ Device.")) {
            Finish(0, "scenario complete");
        }
        break;
    case TStep::Programming:
    case TStep::Done:
        break;
    }
}

void TDemoScenario::Program() {
    output.Print(QStringLiteral("demo"), QStringLiteral("pressing Program"));
    form.InProgButton()->click();
    if (output.ReportsWritten() == 0) {
        Finish(1, "scenario failed: no report reached the adapter");
        return;
    }
    QTimer::singleShot(StepPauseMs, [this] {
        step = TStep::WaitNotFound;
        adapter.Unplug();
    });
}

void TDemoScenario::Finish(int exitCode, const char* what) {
    if (step == TStep::Done) {
        return;
    }
    step = TStep::Done;
    poll.stop();
    deadline.stop();
    output.Print(QStringLiteral("demo"), QString::fromLatin1(what));
    if (const auto peak = TDemoOutput::PeakResidentKiB()) {
        output.Print(QStringLiteral("demo"), QStringLiteral("peak memory %1 KiB").arg(*peak));
    }
    QCoreApplication::exit(exitCode);
}

} // namespace demo
