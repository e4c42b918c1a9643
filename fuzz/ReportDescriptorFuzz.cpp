// libFuzzer target: the report descriptor parser takes any bytes without crashing, and what
// it reports is consistent (zero lengths exactly when it calls the descriptor malformed;
// the ID byte counted in every non-zero length).
#include "platform/linux/ReportDescriptor.h"

#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using platform::linux_backend::ParseReportDescriptor;
    const auto lengths = ParseReportDescriptor(std::span<const std::uint8_t>(data, size));
    if (!lengths.Valid && (lengths.Input != 0 || lengths.Output != 0 || lengths.Feature != 0)) {
        std::abort();
    }
    if (lengths.Input == 1 || lengths.Output == 1 || lengths.Feature == 1) {
        std::abort(); // a report has at least one bit of payload besides its ID byte
    }
    return 0;
}
