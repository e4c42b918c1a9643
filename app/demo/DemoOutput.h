// The demo's standard output: every event-log line of the window and every report written
// to the adapter, each with a timestamp.
#pragma once

#include "platform/PlatformTypes.h"
#include "platform/sim/SimDeviceConfig.h"

#include <QElapsedTimer>
#include <QString>
#include <cstddef>
#include <optional>
#include <vector>

class TMainForm;

namespace demo {

class TDemoAdapter;

// "[  12.345 s] " since the output was created.
class TDemoOutput {
public:
    TDemoOutput();

    void Print(const QString& kind, const QString& text) const;
    // Prints the event log's lines as the window appends them, each after the writes that
    // came before it.
    void FollowLog(TMainForm& form, const TDemoAdapter& adapter);
    // Prints the writes the bus captured on the adapter since the last call.
    void PrintNewWrites(const TDemoAdapter& adapter);

    static QString Hex(const std::vector<BYTE>& bytes);
    // The process's peak resident memory so far, where the system tells it (Linux).
    static std::optional<long> PeakResidentKiB();
    std::size_t ReportsWritten() const { return reportsWritten; }

private:
    QElapsedTimer clock;
    std::optional<platform::sim::TSimDeviceId> writesOf;
    std::size_t writesSeen = 0;
    std::size_t reportsWritten = 0;
};

} // namespace demo
