// The HID class library "HID.dll", bound while the program runs. It serves one user at a
// time: binds are not counted and the first release unbinds. Main thread only.
//
// The program's calls go through the entries, e.g.
//     platform::HidEntries().HidD_GetAttributes(handle, &attributes)
#pragma once

#include "platform/HidExports.h"
#include "platform/ModuleLoader.h"
#include "platform/SetupHidTypes.h"

#include <array>
#include <cstddef>

namespace platform {

// One address per table entry (named by HidEntryNames()), all null while unbound, and the
// typed calls that the program makes. A call through an unbound entry fails as the platform
// fails an unsupported call (last error 120) instead of jumping to null.
struct THidEntries {
    std::array<FARPROC, HidEntryCount> Address{};

    template <typename Function> Function Entry(std::size_t index) const {
        return FromFarProc<Function>(Address[index]);
    }

    // Unbound: the GUID is zeroed.
    void HidD_GetHidGuid(LPGUID hidGuid) const;
    BOOLEAN HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) const;
    BOOLEAN HidD_GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* data) const;
    BOOLEAN HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) const;
    BOOLEAN HidD_GetNumInputBuffers(HANDLE device, PULONG count) const;
    BOOLEAN HidD_SetNumInputBuffers(HANDLE device, ULONG count) const;
    NTSTATUS HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) const;
    BOOLEAN HidD_GetManufacturerString(HANDLE device, PVOID buffer, ULONG length) const;
    BOOLEAN HidD_GetProductString(HANDLE device, PVOID buffer, ULONG length) const;
    BOOLEAN HidD_GetSerialNumberString(HANDLE device, PVOID buffer, ULONG length) const;
    BOOLEAN HidD_GetIndexedString(HANDLE device, ULONG index, PVOID buffer, ULONG length) const;
};

// Loads the library if needed and looks every export up again; when the library or any
// export is missing nothing stays bound and the result is false.
bool BindHid();

// Gives the library up and clears every entry, however many binds came before.
void ReleaseHid();

bool HidBound();
LibraryHandle HidLibrary();
const THidEntries& HidEntries();

} // namespace platform
