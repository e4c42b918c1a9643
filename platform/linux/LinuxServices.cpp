#include "platform/linux/LinuxServices.h"

#include <sys/utsname.h>

#include <charconv>
#include <cstring>

namespace platform::linux_backend {

namespace {

// Reads one decimal number at the front of text and drops it and one following separator.
bool TakeNumber(std::string_view& text, DWORD& value, bool separatorRequired) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    auto [next, error] = std::from_chars(begin, end, value);
    if (error != std::errc{} || next == begin) {
        return false;
    }
    text.remove_prefix(static_cast<std::size_t>(next - begin));
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
        return true;
    }
    return !separatorRequired;
}

} // namespace

bool ParseKernelRelease(std::string_view release, DWORD& major, DWORD& minor, DWORD& build) {
    major = minor = build = 0;
    if (!TakeNumber(release, major, true) || !TakeNumber(release, minor, false)) {
        return false;
    }
    TakeNumber(release, build, false);
    return true;
}

BOOL TLinuxServices::GetVersionExA(LPOSVERSIONINFOA info) {
    if (info == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    utsname name{};
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    if (uname(&name) != 0 || !ParseKernelRelease(name.release, major, minor, build)) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    info->dwMajorVersion = major;
    info->dwMinorVersion = minor;
    info->dwBuildNumber = build;
    info->dwPlatformId = 0;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

} // namespace platform::linux_backend
