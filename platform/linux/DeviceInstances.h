// Device instances of hidraw nodes: one instance number per node for as long as it stays
// present, a new one when it comes back, and what sysfs said about the instance (read once,
// kept while it is present). A node is known by its sysfs path, which names the HID device
// with the kernel's sequence number, so a replugged device differs even when it gets the
// same hidraw name. Thread-safe.
#pragma once

#include "platform/PlatformTypes.h"
#include "platform/linux/ReportDescriptor.h"
#include "platform/linux/SysfsHidraw.h"

#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>

namespace platform::linux_backend {

// What the report descriptor said; Readable false: it could not be read (all lengths 0).
struct TDescription {
    bool Readable = false;
    TReportLengths Lengths;
};

class TDeviceInstances {
public:
    // The number of every path in present (new ones get fresh numbers); forgets every other.
    std::map<std::string, DWORD> Update(std::span<const std::string> present);

    // The node left (a remove event): it gets a new number if it shows up again.
    void Forget(const std::string& devPath);

    // What is kept about a present instance; known tells whether the path is one.
    std::optional<THidrawIdentity> Identity(const std::string& devPath, bool& known);
    std::optional<TDescription> Description(const std::string& devPath, bool& known);
    // Kept only while the path is a present instance.
    void Keep(const std::string& devPath, const THidrawIdentity& identity);
    void Keep(const std::string& devPath, const TDescription& description);

private:
    struct TInstance {
        DWORD number = 0;
        std::optional<THidrawIdentity> identity;
        std::optional<TDescription> description;
    };

    std::mutex mutex_;
    std::map<std::string, TInstance> instances_;
    DWORD next_ = 0x00000101;
};

} // namespace platform::linux_backend
