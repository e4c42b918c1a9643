// The device registry properties of a hidraw node, in the setup service's shape, filled
// from sysfs where Linux has an equivalent. A property without one is simply absent.
#pragma once

#include "platform/PlatformTypes.h"
#include "platform/linux/SysfsHidraw.h"

#include <map>
#include <vector>

namespace platform::linux_backend {

struct TRegistryValue {
    static constexpr DWORD kText = 1;   // REG_SZ
    static constexpr DWORD kBinary = 3; // REG_BINARY
    static constexpr DWORD kNumber = 4; // REG_DWORD
    static constexpr DWORD kList = 7;   // REG_MULTI_SZ

    DWORD Type = 0;
    std::vector<BYTE> Data;
};

using TRegistryProperties = std::map<DWORD, TRegistryValue>;

TRegistryProperties MakeRegistryProperties(const THidrawNode& node,
                                           const THidrawIdentity& identity);

// The platform's HID device setup class.
inline constexpr const char* kHidClassName = "HIDClass";
inline constexpr const char* kHidClassGuidText = "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}";

} // namespace platform::linux_backend
