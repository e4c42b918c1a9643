#include "platform/linux/Uevent.h"

#include <string_view>

namespace platform::linux_backend {

std::optional<TUevent> ParseUevent(std::span<const char> message) {
    const std::string_view all(message.data(), message.size());
    const std::size_t headerEnd = all.find('\0');
    const std::string_view header = all.substr(0, headerEnd);
    const std::size_t at = header.find('@');
    if (at == std::string_view::npos || at == 0 || at + 1 >= header.size() ||
        header[at + 1] != '/') {
        return std::nullopt;
    }
    TUevent event;
    event.Action = header.substr(0, at);
    event.DevPath = header.substr(at + 1);
    bool sawAction = false;
    std::size_t next = headerEnd == std::string_view::npos ? all.size() : headerEnd + 1;
    while (next < all.size()) {
        std::size_t end = all.find('\0', next);
        if (end == std::string_view::npos) {
            end = all.size();
        }
        const std::string_view field = all.substr(next, end - next);
        next = end + 1;
        const std::size_t equals = field.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const std::string_view key = field.substr(0, equals);
        const std::string_view value = field.substr(equals + 1);
        if (key == "ACTION") {
            if (value != event.Action) {
                return std::nullopt;
            }
            sawAction = true;
        } else if (key == "DEVPATH") {
            if (value != event.DevPath) {
                return std::nullopt;
            }
        } else if (key == "SUBSYSTEM") {
            event.Subsystem = value;
        } else if (key == "DEVNAME") {
            // udev gives the node's path, the kernel its name below /dev.
            const std::size_t slash = value.rfind('/');
            event.DevName = slash == std::string_view::npos ? value : value.substr(slash + 1);
        }
    }
    if (!sawAction) {
        return std::nullopt;
    }
    return event;
}

bool IsHidrawNodeChange(const TUevent& event) {
    return event.Subsystem == "hidraw" && (event.Action == "add" || event.Action == "remove");
}

} // namespace platform::linux_backend
