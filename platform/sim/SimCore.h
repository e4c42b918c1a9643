// Inner workings of the simulated bus, shared by its source files. Not for tests: they use
// TSimBus. Every member function locks the core itself unless its name ends in "Locked".
#pragma once

#include "platform/AlertableWaits.h"
#include "platform/NotifyWindows.h"
#include "platform/SetupHidTypes.h"
#include "platform/sim/SimBus.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace platform::sim::detail {

// Error codes the shared headers do not name. (Not ERROR_* names: those are macros on
// Windows.)
inline constexpr DWORD kErrorInvalidData = 13;
inline constexpr DWORD kErrorSharingViolation = 32;
inline constexpr DWORD kErrorInvalidWindowHandle = 1400;
inline constexpr DWORD kErrorInvalidRegProperty = 521;

inline constexpr GUID kHidInterfaceGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
inline constexpr GUID kHidClassGuid = {
    0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};

bool SameGuid(const GUID& a, const GUID& b);

enum class TModuleId { SetupApi, Hid, Kernel32, None };

struct TInjectedFailure {
    std::optional<DWORD> error;
    bool always = false;

    std::optional<DWORD> Take() {
        std::optional<DWORD> result = error;
        if (!always) {
            error.reset();
        }
        return result;
    }
};

struct TDevice {
    TSimDeviceId id = 0;
    TSimDeviceConfig config;
    std::string path;
    DWORD devInst = 0;
    bool present = true;
    std::vector<std::vector<BYTE>> writes;
    TInjectedFailure writeFailure;
    TInjectedFailure readStartFailure;
};

struct TRead {
    std::thread::id thread;
    LPVOID buffer = nullptr;
    DWORD size = 0;
    LPOVERLAPPED overlapped = nullptr;
    LPOVERLAPPED_COMPLETION_ROUTINE routine = nullptr;
};

struct TFile {
    std::shared_ptr<TDevice> device;
    DWORD access = 0;
    DWORD share = 0;
    bool overlapped = false;
    ULONG numInputBuffers = 0;
    std::deque<std::vector<BYTE>> input;
    std::vector<TRead> pending;
};

struct TDeviceSet {
    GUID guid{};
    std::vector<std::shared_ptr<TDevice>> devices;
    // The device-instance value of each member, as this set hands it out.
    std::vector<DWORD> devInsts;
};

struct TPreparsed {
    HIDP_CAPS caps{};
};

struct TModule {
    std::string name;
    TModuleId id = TModuleId::None;
    bool present = true;
    bool pinned = false; // kernel32 never leaves the process
    std::map<std::string, FARPROC, std::less<>> exports;
    std::set<std::string, std::less<>> removedExports;
    int references = 0;
    HMODULE handle = nullptr;
    std::size_t loads = 0;
    std::size_t releases = 0;
};

class TSimCore {
public:
    explicit TSimCore(TSimBus& bus);
    TSimCore(const TSimCore&) = delete;
    TSimCore& operator=(const TSimCore&) = delete;

    // --- Accounting (SimCore.cpp) ----------------------------------------------------------
    // Counts a call; records a violation when module is not loaded; returns the error of a
    // failure injected for the function, if any.
    std::optional<DWORD> Enter(std::string_view function, TModuleId module = TModuleId::None);
    void SetError(DWORD error) const;
    DWORD LastError() const;
    void ViolationLocked(std::string text);
    void ChangedLocked() { changed.notify_all(); }

    // Looks an open file handle up; on failure sets ERROR_INVALID_HANDLE and records why.
    TFile* FileLocked(HANDLE handle, std::string_view function);
    static std::string HandleText(const void* handle);

    // --- Modules (SimModules.cpp) ----------------------------------------------------------
    void AddModules();
    TModule* ModuleByNameLocked(std::string_view name);
    TModule* ModuleByHandleLocked(HMODULE handle);
    TModule& ModuleLocked(TModuleId id);
    HMODULE LoadLibraryA(LPCSTR fileName);
    FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
    BOOL FreeLibrary(HMODULE module);

    // --- Device population and files (SimFiles.cpp) ----------------------------------------
    TSimDeviceId Plug(TSimDeviceConfig config);
    bool Unplug(TSimDeviceId id);
    TDevice* DeviceLocked(TSimDeviceId id);
    const TDevice* DeviceLocked(TSimDeviceId id) const;
    // The present devices in enumeration order.
    std::vector<std::shared_ptr<TDevice>> PresentInOrderLocked() const;
    // The device-instance value of the device at position in that order.
    DWORD DevInstLocked(const TDevice& device, std::size_t position) const;
    HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                       DWORD creationDisposition, DWORD flagsAndAttributes);
    BOOL CloseHandle(HANDLE handle);
    BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
                   LPOVERLAPPED overlapped);
    std::size_t PushInputReport(TSimDeviceId id, std::vector<BYTE> report);

    // --- Overlapped reads (SimReads.cpp) ---------------------------------------------------
    BOOL ReadFileEx(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPOVERLAPPED overlapped,
                    LPOVERLAPPED_COMPLETION_ROUTINE routine);
    DWORD SleepEx(DWORD milliseconds, BOOL alertable);
    BOOL GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped, LPDWORD bytesTransferred,
                             BOOL wait);
    BOOL CancelIo(HANDLE handle);
    // Completes a read with data (or none) and error, and queues its routine for its thread.
    void CompleteLocked(const TRead& read, const std::vector<BYTE>* data, DWORD error);
    void CompleteAllLocked(TFile& file, DWORD error);

    // --- Setup service (SimSetup.cpp) ------------------------------------------------------
    HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, HWND parent,
                                  DWORD flags);
    BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device,
                                     const GUID* interfaceClassGuid, DWORD memberIndex,
                                     PSP_DEVICE_INTERFACE_DATA interfaceData);
    BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                          DWORD detailSize, DWORD* requiredSize,
                                          PSP_DEVINFO_DATA device);
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);
    BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                           DWORD* regDataType, BYTE* buffer, DWORD bufferSize,
                                           DWORD* requiredSize);

    // --- HID class service (SimHid.cpp) ----------------------------------------------------
    void HidD_GetHidGuid(LPGUID guid);
    BOOLEAN HidD_GetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes);
    BOOLEAN HidD_GetPreparsedData(HANDLE handle, PHIDP_PREPARSED_DATA* data);
    BOOLEAN HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data);
    NTSTATUS HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps);
    enum class TStringKind { Manufacturer, Product, SerialNumber };
    BOOLEAN HidD_GetString(TStringKind kind, HANDLE handle, PVOID buffer, ULONG length);
    BOOLEAN HidD_GetIndexedString(HANDLE handle, ULONG index, PVOID buffer, ULONG length);
    BOOLEAN HidD_GetNumInputBuffers(HANDLE handle, PULONG count);
    BOOLEAN HidD_SetNumInputBuffers(HANDLE handle, ULONG count);

    // --- Windows (SimWindows.cpp) ----------------------------------------------------------
    HWND CreateNotifyWindow(WindowProcedure procedure);
    BOOL DestroyWindow(HWND window);
    BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void BroadcastDeviceChange();

    // --- State -----------------------------------------------------------------------------
    TSimBus& bus;
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    TAlertableWaits waits;
    TNotifyWindows windows;

    std::map<std::string, std::size_t, std::less<>> calls;
    std::vector<std::string> callLog;
    std::map<std::string, TInjectedFailure, std::less<>> injected;
    std::vector<std::string> violations;

    std::vector<TModule> modules;
    std::set<HMODULE> retiredModuleHandles;
    std::uintptr_t nextModuleBase = 0x6E000000;

    std::map<TSimDeviceId, std::shared_ptr<TDevice>> devices; // every device ever plugged
    // Present devices by lower-cased path, so that an open does not scan every device.
    std::multimap<std::string, std::shared_ptr<TDevice>, std::less<>> presentByPath;
    TSimDeviceId nextDeviceId = 1;
    static constexpr DWORD kFirstDevInst = 0x00000101;
    DWORD nextDevInst = kFirstDevInst;
    bool devInstByPosition = false;

    std::map<HANDLE, TFile> files;
    std::set<HANDLE> closedFiles;
    std::uintptr_t nextFile = 0x1000;

    std::map<HDEVINFO, TDeviceSet> sets;
    std::set<HDEVINFO> destroyedSets;
    std::uintptr_t nextSet = 0x00D10000;

    std::map<PHIDP_PREPARSED_DATA, TPreparsed> preparsed;
    std::set<PHIDP_PREPARSED_DATA> freedPreparsed;
    std::uintptr_t nextPreparsed = 0x00FA0000;

    DWORD versionMajor = 6;
    DWORD versionMinor = 2;
    DWORD versionBuild = 9200;
    std::optional<DWORD> versionError;
};

// Pointer-sized handle values that never collide with real pointers' uses in the sim.
template <typename T> T MakeHandle(std::uintptr_t& next, std::uintptr_t step = 4) {
    const std::uintptr_t value = next;
    next += step;
    return reinterpret_cast<T>(value);
}

} // namespace platform::sim::detail
