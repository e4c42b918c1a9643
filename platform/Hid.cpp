#include "platform/Hid.h"

#include "platform/PlatformServices.h"

#include <cstring>

namespace platform {

namespace {

struct THidBinding {
    LibraryHandle Library = nullptr;
    THidEntries Entries;
};

THidBinding& Binding() {
    static THidBinding binding;
    return binding;
}

// The typed entry at the position of the entry called name.
#define VUZ_HID_ENTRY(name) Entry<PFN_##name>(HidEntryIndex(#name))

// What a call through an unbound entry gives back.
template <typename T> T Unbound(T result) {
    Services().SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return result;
}

constexpr BOOLEAN kFalse = 0;

} // namespace

bool BindHid() {
    THidBinding& binding = Binding();
    if (!BindLibrary(binding.Library, "HID.dll")) {
        return false;
    }
    bool result = true;
    // Every export is looked up, also after one was missing.
    for (std::size_t i = 0; i < HidEntryCount; ++i) {
        binding.Entries.Address[i] =
            FindRequiredSymbol(binding.Library, kHidEntryNames[i].Export, result);
    }
    if (!result) {
        ReleaseHid();
    }
    return result;
}

void ReleaseHid() {
    THidBinding& binding = Binding();
    ReleaseLibrary(binding.Library);
    binding.Entries.Address.fill(nullptr);
}

bool HidBound() {
    return Binding().Library != nullptr;
}

LibraryHandle HidLibrary() {
    return Binding().Library;
}

const THidEntries& HidEntries() {
    return Binding().Entries;
}

void THidEntries::HidD_GetHidGuid(LPGUID hidGuid) const {
    const auto function = VUZ_HID_ENTRY(HidD_GetHidGuid);
    if (function == nullptr) {
        if (hidGuid != nullptr) {
            std::memset(hidGuid, 0, sizeof(GUID));
        }
        Unbound(0);
        return;
    }
    function(hidGuid);
}

BOOLEAN THidEntries::HidD_GetAttributes(HANDLE device, PHIDD_ATTRIBUTES attributes) const {
    const auto function = VUZ_HID_ENTRY(HidD_GetAttributes);
    return function != nullptr ? function(device, attributes) : Unbound(kFalse);
}

BOOLEAN THidEntries::HidD_GetPreparsedData(HANDLE device, PHIDP_PREPARSED_DATA* data) const {
    const auto function = VUZ_HID_ENTRY(HidD_GetPreparsedData);
    return function != nullptr ? function(device, data) : Unbound(kFalse);
}

BOOLEAN THidEntries::HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) const {
    const auto function = VUZ_HID_ENTRY(HidD_FreePreparsedData);
    return function != nullptr ? function(data) : Unbound(kFalse);
}

BOOLEAN THidEntries::HidD_GetNumInputBuffers(HANDLE device, PULONG count) const {
    const auto function = VUZ_HID_ENTRY(HidD_GetNumInputBuffers);
    return function != nullptr ? function(device, count) : Unbound(kFalse);
}

BOOLEAN THidEntries::HidD_SetNumInputBuffers(HANDLE device, ULONG count) const {
    const auto function = VUZ_HID_ENTRY(HidD_SetNumInputBuffers);
    return function != nullptr ? function(device, count) : Unbound(kFalse);
}

NTSTATUS THidEntries::HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) const {
    const auto function = VUZ_HID_ENTRY(HidP_GetCaps);
    return function != nullptr ? function(data, caps) : Unbound(HIDP_STATUS_INVALID_PREPARSED_DATA);
}

BOOLEAN THidEntries::HidD_GetManufacturerString(HANDLE device, PVOID buffer, ULONG length) const {
    const auto function = VUZ_HID_ENTRY(HidD_GetManufacturerString);
    return function != nullptr ? function(device, buffer, length) : Unbound(kFalse);
}

BOOLEAN THidEntries::HidD_GetProductString(HANDLE device, PVOID buffer, ULONG length) const {
    const auto function = VUZ_HID_ENTRY(HidD_GetProductString);
    return function != nullptr ? function(device, buffer, length) : Unbound(kFalse);
}

BOOLEAN THidEntries::HidD_GetSerialNumberString(HANDLE device, PVOID buffer, ULONG length) const {
    const auto function = VUZ_HID_ENTRY(HidD_GetSerialNumberString);
    return function != nullptr ? function(device, buffer, length) : Unbound(kFalse);
}

BOOLEAN THidEntries::HidD_GetIndexedString(HANDLE device, ULONG index, PVOID buffer,
                                           ULONG length) const {
    const auto function = VUZ_HID_ENTRY(HidD_GetIndexedString);
    return function != nullptr ? function(device, index, buffer, length) : Unbound(kFalse);
}

#undef VUZ_HID_ENTRY

} // namespace platform
