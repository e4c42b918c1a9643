// The programming adapter's identity: vendor 0x0416, 8-byte input reports, product 0x8249.
#pragma once

#include "hid/HidDevice.h"
#include "platform/PlatformTypes.h"

namespace app {

inline constexpr USHORT AdapterVendorID = 0x0416;
inline constexpr USHORT AdapterProductID = 0x8249;
inline constexpr USHORT AdapterInputReportLength = 8;

// Vendor and product only: what a device that has left still tells.
bool HasAdapterIds(const hid::THidDevice& device);

// The whole test, in this order: vendor ID, input report length (from Caps), product ID.
bool IsAdapter(hid::THidDevice& device);

} // namespace app
