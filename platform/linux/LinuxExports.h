// The export tables of the modules this backend offers in-process: "SetupApi.dll" and
// "HID.dll" with every export the bindings look up (the calls this program makes work on
// the installed Linux services, every other one fails with ERROR_CALL_NOT_IMPLEMENTED),
// and "kernel32.dll" with CancelIo.
#pragma once

#include "platform/ModuleExports.h"

namespace platform::linux_backend {

enum class TLinuxModule { SetupApi, Hid, Kernel32 };

const TExportMap& LinuxExportTable(TLinuxModule module);

} // namespace platform::linux_backend
