#include "app/demo/DemoOutput.h"

#include "app/MainForm.h"
#include "app/demo/DemoDevices.h"

#include <QAbstractItemModel>
#include <QFile>
#include <QListWidget>
#include <cstdio>

namespace demo {

TDemoOutput::TDemoOutput() {
    clock.start();
}

void TDemoOutput::Print(const QString& kind, const QString& text) const {
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    std::printf("[%8.3f s] %-6s %s\n", seconds, kind.toLocal8Bit().constData(),
                text.toLocal8Bit().constData());
    std::fflush(stdout);
}

void TDemoOutput::FollowLog(TMainForm& form, const TDemoAdapter& adapter) {
    QListWidget* log = form.HistoryListBox();
    QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, log,
                     [this, log, &adapter](const QModelIndex& /*parent*/, int first, int last) {
                         PrintNewWrites(adapter);
                         for (int row = first; row <= last; ++row) {
                             Print(QStringLiteral("log"), log->item(row)->text());
                         }
                     });
}

void TDemoOutput::PrintNewWrites(const TDemoAdapter& adapter) {
    if (adapter.Id() != writesOf) {
        writesOf = adapter.Id();
        writesSeen = 0;
    }
    const std::vector<std::vector<BYTE>> writes = adapter.Writes();
    for (; writesSeen < writes.size(); ++writesSeen) {
        Print(QStringLiteral("write"), QStringLiteral("to DEMO0001: ") + Hex(writes[writesSeen]));
        ++reportsWritten;
    }
}

QString TDemoOutput::Hex(const std::vector<BYTE>& bytes) {
    QStringList parts;
    for (BYTE b : bytes) {
        parts << QString::asprintf("%02X", unsigned{b});
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace demo

namespace demo {

std::optional<long> TDemoOutput::PeakResidentKiB() {
    // The high-water mark of this program's own memory map, not counting what the parent
    // had when it started this process.
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    // Files in /proc have no size: read until the end rather than testing for it.
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            bool ok = false;
            const long kib = line.mid(6).trimmed().split(' ').value(0).toLong(&ok);
            if (ok) {
                return kib;
            }
        }
    }
    return std::nullopt;
}

} // namespace demo
