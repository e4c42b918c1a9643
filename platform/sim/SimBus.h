// The simulated HID bus: platform services with virtual devices behind them, for tests and
// the demo. It is as strict as the platform: records are size-checked, handles are checked,
// errors are the platform's codes, and reads complete only in the reading thread's
// alertable wait. Misuse that the platform would punish with a crash or corruption is
// recorded as a violation instead, for the test to assert on. Thread-safe.
#pragma once

#include "platform/PlatformServices.h"
#include "platform/sim/SimDeviceConfig.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace platform::sim {

namespace detail {
class TSimCore;
}

// Module file names, as the program loads them (compared case-insensitively).
inline constexpr std::string_view kSetupApiModule = "SetupApi.dll";
inline constexpr std::string_view kHidModule = "HID.dll";
inline constexpr std::string_view kKernel32Module = "kernel32.dll";

enum class TBroadcast { Yes, No };

class TSimBus : public TPlatformServices {
public:
    TSimBus();
    ~TSimBus() override;

    // The installed services if they are a simulated bus, else null.
    static TSimBus* Installed();

    // --- Device population -----------------------------------------------------------------
    // Plug and unplug broadcast WM_DEVICECHANGE (DBT_DEVNODES_CHANGED, 0) to every
    // notification window through the main-thread queue, unless told not to. Unplug leaves
    // open handles valid, fails their I/O with ERROR_DEVICE_NOT_CONNECTED and completes
    // their pending reads with that error.
    TSimDeviceId Plug(TSimDeviceConfig config = {}, TBroadcast broadcast = TBroadcast::Yes);
    bool Unplug(TSimDeviceId device, TBroadcast broadcast = TBroadcast::Yes);
    void BroadcastDeviceChange();

    std::string DevicePath(TSimDeviceId device) const;
    // In positional mode, the value the device gets in an enumeration made now.
    DWORD DevInst(TSimDeviceId device) const;
    // Positional mode: device-instance values are handed out by position in each
    // enumeration (the first present device gets the first value, and so on), as a
    // platform may do, instead of one value per device for as long as it is present. A
    // device that sorts in before others shifts their values.
    void SetDevInstByPosition(bool byPosition);
    bool IsPresent(TSimDeviceId device) const;

    // --- Device I/O ------------------------------------------------------------------------
    // Delivers an input report (report ID first; padded or cut to the input report length)
    // to every handle with read access on the device: it completes the oldest pending read,
    // or waits in that handle's queue, which holds at most the handle's input buffer count
    // (the oldest report is dropped). Returns how many handles took it.
    std::size_t PushInputReport(TSimDeviceId device, std::vector<BYTE> report);
    // Every accepted write on the device, byte for byte, in order.
    std::vector<std::vector<BYTE>> Writes(TSimDeviceId device) const;

    // The next write / read start on the device fails with error; the "always" forms fail
    // every one until cleared.
    void FailNextWrite(TSimDeviceId device, DWORD error);
    void FailWritesAlways(TSimDeviceId device, DWORD error);
    void ClearWriteFailure(TSimDeviceId device);
    void FailNextReadStart(TSimDeviceId device, DWORD error);
    void FailReadStartsAlways(TSimDeviceId device, DWORD error);
    void ClearReadStartFailure(TSimDeviceId device);
    // The next call of the named platform function or export fails with error before doing
    // anything (its failure result: FALSE, null, INVALID_HANDLE_VALUE...).
    void FailNextCall(std::string_view function, DWORD error);

    // --- Modules ---------------------------------------------------------------------------
    // A removed module cannot be loaded (ERROR_MOD_NOT_FOUND); a removed export cannot be
    // found (ERROR_PROC_NOT_FOUND). A module that is loaded stays as it is until released.
    void RemoveModule(std::string_view module);
    void RemoveExport(std::string_view module, std::string_view exportName);
    int ReferenceCount(std::string_view module) const;
    std::size_t LoadCount(std::string_view module) const;
    std::size_t ReleaseCount(std::string_view module) const;

    // --- System ----------------------------------------------------------------------------
    void SetVersion(DWORD major, DWORD minor = 0, DWORD build = 0);
    void FailVersionQuery(DWORD error);

    // --- Observation -----------------------------------------------------------------------
    std::size_t CallCount(std::string_view function) const;
    std::size_t TotalCallCount() const;
    std::vector<std::string> CallLog() const;
    void ResetCallCounts();

    std::size_t OpenHandleCount() const;
    std::size_t OpenHandleCount(TSimDeviceId device) const;
    std::size_t PendingReadCount(TSimDeviceId device) const;
    std::size_t QueuedInputReportCount(TSimDeviceId device) const;
    std::size_t OutstandingDeviceInfoSets() const;
    std::size_t OutstandingPreparsedData() const;
    std::size_t WindowCount() const;
    // Whether thread waits in an alertable SleepEx now.
    bool IsInAlertableWait(std::thread::id thread) const;

    // Misuse seen so far, one readable line each; a correct program leaves it empty.
    std::vector<std::string> Violations() const;
    void ClearViolations();
    // Resources still held: open handles, device-info sets, preparsed data, windows and
    // module references; one line each.
    std::vector<std::string> Leaks() const;

    // Waits until condition holds, testing it whenever the bus changes (and at least every
    // few milliseconds); false when timeout passed first.
    bool WaitUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // --- Platform services -----------------------------------------------------------------
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

    // The bus's inner workings, for its own export tables.
    detail::TSimCore& Core() { return *core_; }

private:
    std::unique_ptr<detail::TSimCore> core_;
};

} // namespace platform::sim
