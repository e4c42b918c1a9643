// The device-setup library "SetupApi.dll", bound while the program runs. Users are counted:
// the library is loaded by the first bind and given up by the release that ends the last one.
// Main thread only.
//
// The program's calls go through the entries, e.g.
//     platform::SetupApiEntries().SetupDiGetClassDevs(&guid, nullptr, nullptr, flags)
#pragma once

#include "platform/ModuleLoader.h"
#include "platform/SetupApiExports.h"
#include "platform/SetupHidTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

// One address per table entry (named by SetupApiEntryNames()), all null while unbound, and
// the typed calls that the program makes. A call through an unbound entry fails as the
// platform fails an unsupported call (last error 120) instead of jumping to null.
struct TSetupApiEntries {
    std::array<FARPROC, SetupApiEntryCount> Address{};

    template <typename Function> Function Entry(std::size_t index) const {
        return FromFarProc<Function>(Address[index]);
    }

    // Generic entry: the ANSI function.
    HDEVINFO SetupDiGetClassDevs(const GUID* classGuid, LPCSTR enumerator, HWND parent,
                                 DWORD flags) const;
    // First of the two copies.
    BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device,
                                     const GUID* interfaceClassGuid, DWORD memberIndex,
                                     PSP_DEVICE_INTERFACE_DATA interfaceData) const;
    // First of the two ANSI copies.
    BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                          PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                          DWORD detailSize, PDWORD requiredSize,
                                          PSP_DEVINFO_DATA device) const;
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) const;
    BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                           PDWORD regDataType, PBYTE buffer, DWORD bufferSize,
                                           PDWORD requiredSize) const;
    // Generic entry: the ANSI function.
    BOOL SetupDiGetDeviceRegistryProperty(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                          PDWORD regDataType, PBYTE buffer, DWORD bufferSize,
                                          PDWORD requiredSize) const;

    // Positions of the entries called above.
    static constexpr std::size_t kGetClassDevs = SetupApiEntryIndex("SetupDiGetClassDevs");
    static constexpr std::size_t kEnumDeviceInterfaces =
        SetupApiEntryIndex("SetupDiEnumDeviceInterfaces");
    static constexpr std::size_t kGetDeviceInterfaceDetailA =
        SetupApiEntryIndex("SetupDiGetDeviceInterfaceDetailA");
    static constexpr std::size_t kDestroyDeviceInfoList =
        SetupApiEntryIndex("SetupDiDestroyDeviceInfoList");
    static constexpr std::size_t kGetDeviceRegistryPropertyA =
        SetupApiEntryIndex("SetupDiGetDeviceRegistryPropertyA");
    static constexpr std::size_t kGetDeviceRegistryProperty =
        SetupApiEntryIndex("SetupDiGetDeviceRegistryProperty");
};

// Adds a user. The first loads the library and looks every export up; when the library or
// any export is missing nothing stays bound, the user is not counted and the result is false.
bool BindSetupApi();

// Removes a user; the last one's release gives the library up and clears every entry.
void ReleaseSetupApi();

std::int32_t SetupApiBindCount();
LibraryHandle SetupApiLibrary();
const TSetupApiEntries& SetupApiEntries();

} // namespace platform
