#include "platform/win32/Win32Services.h"

namespace platform::win32_backend {

DWORD TWin32Services::GetLastError() { return ::GetLastError(); }

void TWin32Services::SetLastError(DWORD error) { ::SetLastError(error); }

BOOL TWin32Services::GetVersionExA(LPOSVERSIONINFOA info) {
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
    return ::GetVersionExA(info);
#else
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return ::GetVersionExA(info);
#pragma GCC diagnostic pop
#endif
}

} // namespace platform::win32_backend

namespace platform {

std::unique_ptr<TPlatformServices> CreateNativeServices() {
    return std::make_unique<win32_backend::TWin32Services>();
}

} // namespace platform
