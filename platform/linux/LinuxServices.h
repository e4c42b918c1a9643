// Platform services on Linux.
#pragma once

#include "platform/PlatformServices.h"

#include <string_view>

namespace platform::linux_backend {

// Reads "major.minor.patch..." from a kernel release text; false when it does not start so.
bool ParseKernelRelease(std::string_view release, DWORD& major, DWORD& minor, DWORD& build);

class TLinuxServices : public TPlatformServices {
public:
    // The kernel release's numbers stand in for the version of the operating system.
    BOOL GetVersionExA(LPOSVERSIONINFOA info) override;
};

} // namespace platform::linux_backend
