// sysfs strings are UTF-8; the HID string calls hand out UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace platform::linux_backend {

// Malformed sequences become U+FFFD, one per offending byte.
std::u16string Utf16FromUtf8(std::string_view text);

} // namespace platform::linux_backend
