#include "platform/win32/Win32Services.h"

#include <cstdarg>
#include <utility>

namespace platform::win32_backend {

HMODULE TWin32Services::LoadLibraryA(LPCSTR fileName) {
    return ::LoadLibraryA(fileName);
}

FARPROC TWin32Services::GetProcAddress(HMODULE module, LPCSTR procName) {
    return ::GetProcAddress(module, procName);
}

BOOL TWin32Services::FreeLibrary(HMODULE module) {
    return ::FreeLibrary(module);
}

HANDLE TWin32Services::CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                                   void* securityAttributes, DWORD creationDisposition,
                                   DWORD flagsAndAttributes, HANDLE templateFile) {
    return ::CreateFileA(fileName, desiredAccess, shareMode,
                         static_cast<LPSECURITY_ATTRIBUTES>(securityAttributes),
                         creationDisposition, flagsAndAttributes, templateFile);
}

BOOL TWin32Services::CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

BOOL TWin32Services::WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite,
                               LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    return ::WriteFile(handle, buffer, bytesToWrite, bytesWritten, overlapped);
}

BOOL TWin32Services::ReadFileEx(HANDLE handle, LPVOID buffer, DWORD bytesToRead,
                                LPOVERLAPPED overlapped, LPOVERLAPPED_COMPLETION_ROUTINE routine) {
    return ::ReadFileEx(handle, buffer, bytesToRead, overlapped, routine);
}

DWORD TWin32Services::SleepEx(DWORD milliseconds, BOOL alertable) {
    return ::SleepEx(milliseconds, alertable);
}

BOOL TWin32Services::GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped,
                                         LPDWORD bytesTransferred, BOOL wait) {
    return ::GetOverlappedResult(handle, overlapped, bytesTransferred, wait);
}

DWORD TWin32Services::GetLastError() {
    return ::GetLastError();
}

void TWin32Services::SetLastError(DWORD error) {
    ::SetLastError(error);
}

HWND TWin32Services::CreateNotifyWindow(WindowProcedure procedure) {
    return windows_.Create(std::move(procedure));
}

BOOL TWin32Services::DestroyWindow(HWND window) {
    return windows_.Destroy(window);
}

BOOL TWin32Services::PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(window, message, wParam, lParam);
}

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

DWORD TWin32Services::FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                                     LPSTR buffer, DWORD size, void* arguments) {
    return ::FormatMessageA(flags, source, messageId, languageId, buffer, size,
                            static_cast<va_list*>(arguments));
}

} // namespace platform::win32_backend

namespace platform {

std::unique_ptr<TPlatformServices> CreateNativeServices() {
    return std::make_unique<win32_backend::TWin32Services>();
}

} // namespace platform
