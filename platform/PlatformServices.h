// The platform services the HID code and the program call, in the platform's own shape.
// One object is installed per process (the native backend in the program, the simulated
// bus in tests and the demo). Every operation a backend does not override fails the way
// the platform fails an unsupported call: a false/empty result and last error 120.
#pragma once

#include "platform/PlatformTypes.h"

#include <functional>
#include <memory>

namespace platform {

// The hidden notification window's procedure: message, wParam, lParam -> result.
using WindowProcedure = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

class TPlatformServices {
public:
    TPlatformServices() = default;
    TPlatformServices(const TPlatformServices&) = delete;
    TPlatformServices& operator=(const TPlatformServices&) = delete;
    virtual ~TPlatformServices() = default;

    // Run-time library loading.
    virtual HMODULE LoadLibraryA(LPCSTR fileName);
    virtual FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
    virtual BOOL FreeLibrary(HMODULE module);

    // File handles on device paths.
    virtual HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                               void* securityAttributes, DWORD creationDisposition,
                               DWORD flagsAndAttributes, HANDLE templateFile);
    virtual BOOL CloseHandle(HANDLE handle);
    virtual BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite,
                           LPDWORD bytesWritten, LPOVERLAPPED overlapped);
    virtual BOOL ReadFileEx(HANDLE handle, LPVOID buffer, DWORD bytesToRead,
                            LPOVERLAPPED overlapped, LPOVERLAPPED_COMPLETION_ROUTINE routine);
    virtual DWORD SleepEx(DWORD milliseconds, BOOL alertable);
    virtual BOOL GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped,
                                     LPDWORD bytesTransferred, BOOL wait);

    // The calling thread's last error.
    virtual DWORD GetLastError();
    virtual void SetLastError(DWORD error);

    // A hidden top-level window that receives the broadcast device-change message.
    virtual HWND CreateNotifyWindow(WindowProcedure procedure);
    virtual BOOL DestroyWindow(HWND window);
    virtual BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // System information and message texts.
    virtual BOOL GetVersionExA(LPOSVERSIONINFOA info);
    virtual DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                                 LPSTR buffer, DWORD size, void* arguments);

protected:
    // Helper for the default implementations: record "not implemented" and return value.
    template <typename T> T NotImplemented(T value) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return value;
    }
};

// The installed services. Install before any other thread starts; the previous object is
// handed back so that a test can restore it.
TPlatformServices& Services();
std::unique_ptr<TPlatformServices> InstallServices(std::unique_ptr<TPlatformServices> services);

// The backend of the operating system this program was built for.
std::unique_ptr<TPlatformServices> CreateNativeServices();

} // namespace platform
