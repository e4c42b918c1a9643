#include "platform/PlatformServices.h"

#include <utility>

namespace platform {

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

std::unique_ptr<TPlatformServices>& Installed() {
    static std::unique_ptr<TPlatformServices> installed;
    return installed;
}

} // namespace

TPlatformServices& Services() {
    auto& installed = Installed();
    if (!installed) {
        installed = CreateNativeServices();
    }
    return *installed;
}

std::unique_ptr<TPlatformServices> InstallServices(std::unique_ptr<TPlatformServices> services) {
    return std::exchange(Installed(), std::move(services));
}

HMODULE TPlatformServices::LoadLibraryA(LPCSTR) { return NotImplemented<HMODULE>(nullptr); }

FARPROC TPlatformServices::GetProcAddress(HMODULE, LPCSTR) {
    return NotImplemented<FARPROC>(nullptr);
}

BOOL TPlatformServices::FreeLibrary(HMODULE) { return NotImplemented(FALSE); }

HANDLE TPlatformServices::CreateFileA(LPCSTR, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
    return NotImplemented(INVALID_HANDLE_VALUE);
}

BOOL TPlatformServices::CloseHandle(HANDLE) { return NotImplemented(FALSE); }

BOOL TPlatformServices::WriteFile(HANDLE, LPCVOID, DWORD, LPDWORD bytesWritten, LPOVERLAPPED) {
    if (bytesWritten != nullptr) {
        *bytesWritten = 0;
    }
    return NotImplemented(FALSE);
}

BOOL TPlatformServices::ReadFileEx(HANDLE, LPVOID, DWORD, LPOVERLAPPED,
                                   LPOVERLAPPED_COMPLETION_ROUTINE) {
    return NotImplemented(FALSE);
}

DWORD TPlatformServices::SleepEx(DWORD, BOOL) { return NotImplemented<DWORD>(0); }

BOOL TPlatformServices::GetOverlappedResult(HANDLE, LPOVERLAPPED, LPDWORD bytesTransferred, BOOL) {
    if (bytesTransferred != nullptr) {
        *bytesTransferred = 0;
    }
    return NotImplemented(FALSE);
}

DWORD TPlatformServices::GetLastError() { return lastError; }

void TPlatformServices::SetLastError(DWORD error) { lastError = error; }

HWND TPlatformServices::CreateNotifyWindow(WindowProcedure) {
    return NotImplemented<HWND>(nullptr);
}

BOOL TPlatformServices::DestroyWindow(HWND) { return NotImplemented(FALSE); }

BOOL TPlatformServices::PostMessageA(HWND, UINT, WPARAM, LPARAM) { return NotImplemented(FALSE); }

BOOL TPlatformServices::GetVersionExA(LPOSVERSIONINFOA) { return NotImplemented(FALSE); }

DWORD TPlatformServices::FormatMessageA(DWORD, LPCVOID, DWORD, DWORD, LPSTR buffer, DWORD size,
                                        void*) {
    if (buffer != nullptr && size > 0) {
        buffer[0] = '\0';
    }
    return NotImplemented<DWORD>(0);
}

} // namespace platform
