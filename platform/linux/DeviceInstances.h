// Device instance numbers for hidraw nodes: one number per node for as long as it stays
// present, a new one when it comes back. A node is known by its sysfs path, which names
// the HID device with the kernel's sequence number, so a replugged device differs even
// when it gets the same hidraw name. Thread-safe.
#pragma once

#include "platform/PlatformTypes.h"

#include <map>
#include <mutex>
#include <span>
#include <string>

namespace platform::linux_backend {

class TDeviceInstances {
public:
    // The number of every path in present (new ones get fresh numbers); forgets every other.
    std::map<std::string, DWORD> Update(std::span<const std::string> present);

    // The node left (a remove event): it gets a new number if it shows up again.
    void Forget(const std::string& devPath);

private:
    std::mutex mutex_;
    std::map<std::string, DWORD> numbers_;
    DWORD next_ = 0x00000101;
};

} // namespace platform::linux_backend
