// Device events as the kernel sends them on NETLINK_KOBJECT_UEVENT:
// "action@devpath\0KEY=value\0KEY=value\0...".
#pragma once

#include <optional>
#include <span>
#include <string>

namespace platform::linux_backend {

struct TUevent {
    std::string Action;    // "add", "remove", "change", "bind", ...
    std::string DevPath;   // below the sysfs root, e.g. "/devices/.../hidraw/hidraw3"
    std::string Subsystem; // "hidraw", "usb", ...
    std::string DevName;   // "hidraw3" (may be empty)
};

// None for anything that is not a well-formed kernel event (for instance the libudev
// daemon's own binary format, or a header whose action and ACTION= disagree).
std::optional<TUevent> ParseUevent(std::span<const char> message);

// Whether the event adds or removes a hidraw node, the changes the program is told about.
bool IsHidrawNodeChange(const TUevent& event);

} // namespace platform::linux_backend
