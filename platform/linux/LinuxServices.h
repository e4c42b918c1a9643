// Platform services on Linux: HID devices through /sys/class/hidraw and /dev/hidraw*, the
// setup and HID libraries as in-process modules, overlapped reads emulated with a reader
// thread per read handle, and device-change broadcasts from a device-event monitor.
#pragma once

#include "platform/AlertableWaits.h"
#include "platform/NotifyWindows.h"
#include "platform/PlatformServices.h"
#include "platform/SetupHidTypes.h"
#include "platform/linux/DeviceInstances.h"
#include "platform/linux/OverlappedReader.h"
#include "platform/linux/RegistryProperties.h"
#include "platform/linux/SysfsHidraw.h"
#include "platform/linux/UniqueFd.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

namespace platform::linux_backend {

// Reads "major.minor.patch..." from a kernel release text; false when it does not start so.
bool ParseKernelRelease(std::string_view release, DWORD& major, DWORD& minor, DWORD& build);

struct THidrawFile;
class TDeviceMonitor;
class TEventSource;

using TEventSourceOpener = std::function<std::unique_ptr<TEventSource>()>;

// Where device events come from.
enum class TEventFeed {
    Automatic, // udevd's when it runs (and libudev is built in), else the kernel's, else
               // the device directory watched for hidraw nodes
    Kernel,
    DeviceDirectory,
    Udev,
    Socket, // TLinuxOptions::EventSocket (tests)
    None
};

struct TLinuxOptions {
    TLinuxRoots Roots;
    TEventFeed Events = TEventFeed::Automatic;
    int EventSocket = -1;                // owned by the services from construction on
    TThreadStarter StartReaderThread;    // none: std::thread
    TEventSourceOpener OpenKernelEvents; // none: the kernel's event socket
};

// What the backend did, for tests and the benchmark.
struct TLinuxCounts {
    std::size_t NodeOpens = 0;       // the node opened (a reading handle, a first write)
    std::size_t AccessChecks = 0;    // a handle made without opening the node
    std::size_t IdentityReads = 0;   // a device's identity read from sysfs
    std::size_t DescriptorReads = 0; // a device's report descriptor read from sysfs
};

class TLinuxServices : public TPlatformServices {
public:
    TLinuxServices();
    explicit TLinuxServices(TLinuxOptions options);
    ~TLinuxServices() override;

    // The installed services if they are this backend, else null.
    static TLinuxServices* Installed();

    const TLinuxRoots& Roots() const { return options_.Roots; }

    // --- Loader (LinuxModules.cpp) ---------------------------------------------------------
    HMODULE LoadLibraryA(LPCSTR fileName) override;
    FARPROC GetProcAddress(HMODULE module, LPCSTR procName) override;
    BOOL FreeLibrary(HMODULE module) override;

    // --- Files (LinuxFiles.cpp) ------------------------------------------------------------
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
    BOOL CancelIo(HANDLE handle);

    // --- Windows and system (LinuxServices.cpp) --------------------------------------------
    HWND CreateNotifyWindow(WindowProcedure procedure) override;
    BOOL DestroyWindow(HWND window) override;
    BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    // The kernel release's numbers stand in for the version of the operating system.
    BOOL GetVersionExA(LPOSVERSIONINFOA info) override;
    DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                         LPSTR buffer, DWORD size, void* arguments) override;

    // --- Setup service (LinuxSetup.cpp) ----------------------------------------------------
    HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, HWND parent,
                                  DWORD flags);
    BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device,
                                     const GUID* interfaceClassGuid, DWORD memberIndex,
                                     PSP_DEVICE_INTERFACE_DATA interfaceData);
    BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                          DWORD detailSize, PDWORD requiredSize,
                                          PSP_DEVINFO_DATA device);
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);
    BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                           PDWORD regDataType, PBYTE buffer, DWORD bufferSize,
                                           PDWORD requiredSize);

    // --- HID class service (LinuxHid.cpp) --------------------------------------------------
    enum class TStringKind { Manufacturer, Product, SerialNumber };
    void HidD_GetHidGuid(LPGUID guid);
    BOOLEAN HidD_GetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes);
    BOOLEAN HidD_GetPreparsedData(HANDLE handle, PHIDP_PREPARSED_DATA* data);
    BOOLEAN HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data);
    NTSTATUS HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps);
    BOOLEAN HidD_GetString(TStringKind kind, HANDLE handle, PVOID buffer, ULONG length);
    BOOLEAN HidD_GetIndexedString(HANDLE handle, ULONG index, PVOID buffer, ULONG length);
    BOOLEAN HidD_GetNumInputBuffers(HANDLE handle, PULONG count);
    BOOLEAN HidD_SetNumInputBuffers(HANDLE handle, ULONG count);

    // What is still held, for tests: open handles, device-info sets, preparsed data, windows.
    std::size_t OpenHandleCount() const;
    std::size_t DeviceSetCount() const;
    std::size_t PreparsedDataCount() const;
    std::size_t WindowCount() const { return windows_.Count(); }
    TLinuxCounts Counts() const;

private:
    struct TSetMember {
        THidrawNode node;
        DWORD devInst = 0;
        std::string path;
        std::optional<TRegistryProperties> properties; // read on first use
    };
    struct TModuleState {
        int references = 0;
    };

    std::shared_ptr<THidrawFile> File(HANDLE handle);
    // Opens the node of a handle made without opening it; fails with
    // ERROR_DEVICE_NOT_CONNECTED when its device has left since.
    TUniqueFd OpenNodeOf(const THidrawFile& file, DWORD& error);
    // The hidraw node of that name now, if it is present.
    std::optional<THidrawNode> FindNode(std::string_view name);
    // The device instance a device path names: the one an enumeration handed the path out
    // for, else the node of that name now. Fails with ERROR_DEVICE_NOT_CONNECTED when the
    // instance handed out has gone, even if its name belongs to another device by now.
    std::optional<THidrawNode> InstanceOfPath(std::string_view path, DWORD& error);
    // Whether the instance is still present under its name.
    bool IsPresent(const THidrawNode& node);
    // Checks, after opening, that a descriptor is the instance's node and the instance is
    // still present; ERROR_DEVICE_NOT_CONNECTED if not.
    DWORD CheckOpenedNode(int fd, const THidrawNode& node);
    // An open's error, given that the path named a present instance a moment ago.
    DWORD OpenError(int error, const THidrawNode& node);
    // The identity of the node a handle is open on; none (and ERROR_DEVICE_NOT_CONNECTED)
    // when the node has gone or is another device now.
    std::optional<THidrawIdentity> IdentityOf(const THidrawFile& file, TIdentityDetail detail);
    // A node's identity and description: kept for a present device instance, read once.
    std::optional<THidrawIdentity> IdentityFor(const THidrawNode& node, TIdentityDetail detail);
    TDescription DescriptionFor(const THidrawNode& node, const THidrawIdentity& identity);
    // The report lengths a handle checks sizes against; none when they cannot be read.
    std::optional<TReportLengths> LengthsOf(THidrawFile& file);
    void StartMonitor();
    void OnDeviceEvent(const struct TUevent& event);
    void OnEventsLost();

    TLinuxOptions options_;
    TAlertableWaits waits_;
    TNotifyWindows windows_;
    TDeviceInstances instances_;

    mutable std::mutex mutex_;
    std::map<HANDLE, std::shared_ptr<THidrawFile>> files_;
    // The hidraw class directory, opened again after each enumeration: a directory that was
    // removed and made again (the HID core reloaded) is not held for longer.
    std::shared_ptr<const TUniqueFd> classDir_;
    std::uintptr_t nextFile_ = 0x1000;
    // The instance each node name was last handed out for, by name. Kept after the instance
    // leaves: the kernel gives a freed name to the next device at once, and a path handed out
    // for the old one must not reach the new one. Only an enumeration hands a name out anew
    // (a controller's, which then unplugs what it held of the old instance).
    std::map<std::string, THidrawNode, std::less<>> issued_;
    std::map<HDEVINFO, std::vector<TSetMember>> sets_;
    std::uintptr_t nextSet_ = 0x00D10000;
    std::map<PHIDP_PREPARSED_DATA, std::unique_ptr<HIDP_CAPS>> preparsed_;
    std::map<int, TModuleState> modules_;

    std::atomic<std::size_t> nodeOpens_{0};
    std::atomic<std::size_t> accessChecks_{0};
    std::atomic<std::size_t> identityReads_{0};
    std::atomic<std::size_t> descriptorReads_{0};

    std::mutex monitorMutex_;
    std::unique_ptr<TDeviceMonitor> monitor_;
    bool monitorStarted_ = false;
    std::atomic<bool> lossTold_{false};
};

} // namespace platform::linux_backend
