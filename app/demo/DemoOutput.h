// The demo's standard output: every event-log line of the window and every report written
// to the adapter, each with a timestamp.
#pragma once

#include "platform/PlatformTypes.h"
#include "platform/sim/SimDeviceConfig.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {
class TMainForm;
}

namespace demo {

class TDemoAdapter;

// The demo's own line before the scenario starts.
inline constexpr std::string_view SetupText =
    "simulated bus: a keyboard and a mouse present; the adapter arrives soon";

// "[  12.345 s] " since the output was created.
class TDemoOutput {
public:
    TDemoOutput();

    void Print(std::string_view kind, std::string_view text) const;
    // Prints the adapter's plugging in and out and the input reports it sends.
    void FollowAdapter(TDemoAdapter& adapter);
    // Prints the event log's lines as the window appends them, each after the writes that
    // came before it (takes the window's OnLogLine).
    void FollowLog(app::TMainForm& form, const TDemoAdapter& adapter);
    // Prints the writes the bus captured on the adapter since the last call.
    void PrintNewWrites(const TDemoAdapter& adapter);

    // "05 00 02"
    static std::string Hex(const std::vector<BYTE>& bytes);
    // The process's peak resident memory so far, where the system tells it (Linux).
    static std::optional<long> PeakResidentKiB();
    std::size_t ReportsWritten() const { return reportsWritten; }

private:
    std::chrono::steady_clock::time_point start;
    std::optional<platform::sim::TSimDeviceId> writesOf;
    std::size_t writesSeen = 0;
    std::size_t reportsWritten = 0;
};

} // namespace demo
