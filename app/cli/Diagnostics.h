// What the system lacks or forbids, told so that the user can act on it.
#pragma once

#include <optional>
#include <string>

namespace cli {

// Why no HID device can be seen at all (e.g. no hidraw on Linux); none when nothing is
// known to be missing.
std::optional<std::string> MissingHidSupport();

// How to get read-write access to a device the user cannot open that way (e.g. the udev
// rule on Linux); empty when the system has nothing to add.
std::string AccessHint(const std::string& devicePath);

} // namespace cli
