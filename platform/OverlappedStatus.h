// The status words the platform leaves in an overlapped record's Internal member, for
// backends that emulate overlapped I/O: a completed record says how it ended, and
// GetOverlappedResult turns that back into an error code.
#pragma once

#include "platform/PlatformTypes.h"

namespace platform {

inline constexpr ULONG_PTR kStatusPending = 0x00000103;
inline constexpr ULONG_PTR kStatusCancelled = 0xC0000120;
inline constexpr ULONG_PTR kStatusDeviceNotConnected = 0xC000009D;
inline constexpr ULONG_PTR kStatusFacilityWin32 = 0xC0070000; // any other error, carried as itself

constexpr ULONG_PTR StatusFromError(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_OPERATION_ABORTED:
        return kStatusCancelled;
    case ERROR_DEVICE_NOT_CONNECTED:
        return kStatusDeviceNotConnected;
    default:
        return kStatusFacilityWin32 | (error & 0xFFFF);
    }
}

constexpr DWORD ErrorFromStatus(ULONG_PTR status) {
    switch (status) {
    case 0:
        return ERROR_SUCCESS;
    case kStatusCancelled:
        return ERROR_OPERATION_ABORTED;
    case kStatusDeviceNotConnected:
        return ERROR_DEVICE_NOT_CONNECTED;
    default:
        return static_cast<DWORD>(status & 0xFFFF);
    }
}

} // namespace platform
