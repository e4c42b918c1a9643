// libFuzzer target: device-event parsing takes any datagram without crashing, and an event
// it accepts has an action and a sysfs path.
#include "platform/linux/Uevent.h"

#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using platform::linux_backend::ParseUevent;
    const auto event =
        ParseUevent(std::span<const char>(reinterpret_cast<const char*>(data), size));
    if (event && (event->Action.empty() || !event->DevPath.starts_with('/'))) {
        std::abort();
    }
    if (event) {
        (void)platform::linux_backend::IsHidrawNodeChange(*event);
    }
    return 0;
}
