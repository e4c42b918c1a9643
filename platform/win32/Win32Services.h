// Platform services on Windows: the system's own calls.
#pragma once

#include "platform/PlatformServices.h"

namespace platform::win32_backend {

class TWin32Services : public TPlatformServices {
public:
    DWORD GetLastError() override;
    void SetLastError(DWORD error) override;
    BOOL GetVersionExA(LPOSVERSIONINFOA info) override;
};

} // namespace platform::win32_backend
