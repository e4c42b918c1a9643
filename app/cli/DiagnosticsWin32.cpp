#include "app/cli/Diagnostics.h"

namespace cli {

// Windows has HID support built in, and gives every user read-write access to the adapter.
std::optional<std::string> MissingHidSupport() {
    return std::nullopt;
}

std::string AccessHint(const std::string& /*devicePath*/) {
    return {};
}

} // namespace cli
