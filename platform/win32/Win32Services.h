// Platform services on Windows: the system's own calls.
#pragma once

#include "platform/PlatformServices.h"
#include "platform/win32/SystemNotifyWindows.h"

namespace platform::win32_backend {

class TWin32Services : public TPlatformServices {
public:
    HMODULE LoadLibraryA(LPCSTR fileName) override;
    FARPROC GetProcAddress(HMODULE module, LPCSTR procName) override;
    BOOL FreeLibrary(HMODULE module) override;

    HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                       void* securityAttributes, DWORD creationDisposition,
                       DWORD flagsAndAttributes, HANDLE templateFile) override;
    BOOL CloseHandle(HANDLE handle) override;
    BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                   LPOVERLAPPED overlapped) override;
    BOOL ReadFileEx(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPOVERLAPPED overlapped,
                    LPOVERLAPPED_COMPLETION_ROUTINE routine) override;
    DWORD SleepEx(DWORD milliseconds, BOOL alertable) override;
    BOOL GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped, LPDWORD bytesTransferred,
                             BOOL wait) override;

    DWORD GetLastError() override;
    void SetLastError(DWORD error) override;

    HWND CreateNotifyWindow(WindowProcedure procedure) override;
    BOOL DestroyWindow(HWND window) override;
    BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

    BOOL GetVersionExA(LPOSVERSIONINFOA info) override;
    DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                         LPSTR buffer, DWORD size, void* arguments) override;

private:
    TSystemNotifyWindows windows_;
};

} // namespace platform::win32_backend
