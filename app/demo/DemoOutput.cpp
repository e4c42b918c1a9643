#include "app/demo/DemoOutput.h"

#include "app/core/MainForm.h"
#include "app/demo/DemoDevices.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace demo {

TDemoOutput::TDemoOutput() : start(std::chrono::steady_clock::now()) {}

void TDemoOutput::Print(std::string_view kind, std::string_view text) const {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::printf("[%8.3f s] %-6.*s %.*s\n", elapsed.count(), static_cast<int>(kind.size()),
                kind.data(), static_cast<int>(text.size()), text.data());
    std::fflush(stdout);
}

void TDemoOutput::FollowAdapter(TDemoAdapter& adapter) {
    adapter.OnPlugChange = [this](bool plugged) {
        Print("bus", plugged ? "adapter DEMO0001 plugged in" : "adapter DEMO0001 unplugged");
    };
    adapter.OnReportSent = [this](const std::vector<BYTE>& report) {
        Print("bus", "adapter sends input report " + Hex(report));
    };
}

void TDemoOutput::FollowLog(app::TMainForm& form, const TDemoAdapter& adapter) {
    form.OnLogLine = [this, &adapter](const std::string& line) {
        PrintNewWrites(adapter);
        Print("log", line);
    };
}

void TDemoOutput::PrintNewWrites(const TDemoAdapter& adapter) {
    if (adapter.Id() != writesOf) {
        writesOf = adapter.Id();
        writesSeen = 0;
    }
    const std::vector<std::vector<BYTE>> writes = adapter.Writes();
    for (; writesSeen < writes.size(); ++writesSeen) {
        Print("write", "to DEMO0001: " + Hex(writes[writesSeen]));
        ++reportsWritten;
    }
}

std::string TDemoOutput::Hex(const std::vector<BYTE>& bytes) {
    std::string text;
    for (BYTE b : bytes) {
        std::array<char, 4> digits{};
        std::snprintf(digits.data(), digits.size(), "%02X", unsigned{b});
        if (!text.empty()) {
            text += ' ';
        }
        text += digits.data();
    }
    return text;
}

std::optional<long> TDemoOutput::PeakResidentKiB() {
    // The high-water mark of this program's own memory map, not counting what the parent
    // had when it started this process.
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) != 0) {
            continue;
        }
        std::istringstream fields(line.substr(6));
        long kib = 0;
        if (fields >> kib) {
            return kib;
        }
    }
    return std::nullopt;
}

} // namespace demo
