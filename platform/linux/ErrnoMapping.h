// The platform error code for an errno value of a call on a device node or sysfs file.
#pragma once

#include "platform/PlatformTypes.h"

namespace platform::linux_backend {

// EIO and ENODEV are what hidraw returns once its device has gone (read and write
// respectively), so both read as ERROR_DEVICE_NOT_CONNECTED. Unknown values give
// ERROR_GEN_FAILURE.
DWORD ErrorFromErrno(int error);

} // namespace platform::linux_backend
