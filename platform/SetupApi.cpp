#include "platform/SetupApi.h"

#include "platform/PlatformServices.h"

namespace platform {

namespace {

struct TSetupApiBinding {
    LibraryHandle Library = nullptr;
    std::int32_t BindCount = 0;
    TSetupApiEntries Entries;
};

TSetupApiBinding& Binding() {
    static TSetupApiBinding binding;
    return binding;
}

// What a call through an unbound entry gives back.
template <typename T> T Unbound(T result) {
    Services().SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return result;
}

} // namespace

bool BindSetupApi() {
    TSetupApiBinding& binding = Binding();
    bool result = true;
    ++binding.BindCount;
    if (binding.BindCount > 1) {
        return true;
    }
    if (!BindLibrary(binding.Library, "SetupApi.dll")) {
        --binding.BindCount;
        return false;
    }
    // Every export is looked up, also after one was missing.
    for (std::size_t i = 0; i < SetupApiEntryCount; ++i) {
        binding.Entries.Address[i] =
            FindRequiredSymbol(binding.Library, kSetupApiEntryNames[i].Export, result);
    }
    if (!result) {
        ReleaseSetupApi();
    }
    return result;
}

void ReleaseSetupApi() {
    TSetupApiBinding& binding = Binding();
    // A release without a bind must not leave the count below zero, or a later user's
    // binding would be given up by another user's release.
    if (binding.BindCount > 0) {
        --binding.BindCount;
    }
    if (binding.BindCount > 0) {
        return;
    }
    ReleaseLibrary(binding.Library);
    binding.Entries.Address.fill(nullptr);
}

std::int32_t SetupApiBindCount() {
    return Binding().BindCount;
}

LibraryHandle SetupApiLibrary() {
    return Binding().Library;
}

const TSetupApiEntries& SetupApiEntries() {
    return Binding().Entries;
}

HDEVINFO TSetupApiEntries::SetupDiGetClassDevs(const GUID* classGuid, LPCSTR enumerator,
                                               HWND parent, DWORD flags) const {
    const auto function = Entry<PFN_SetupDiGetClassDevsA>(kGetClassDevs);
    if (function == nullptr) {
        return Unbound<HDEVINFO>(INVALID_HANDLE_VALUE);
    }
    return function(classGuid, enumerator, parent, flags);
}

BOOL TSetupApiEntries::SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                   const GUID* interfaceClassGuid,
                                                   DWORD memberIndex,
                                                   PSP_DEVICE_INTERFACE_DATA interfaceData) const {
    const auto function = Entry<PFN_SetupDiEnumDeviceInterfaces>(kEnumDeviceInterfaces);
    if (function == nullptr) {
        return Unbound(FALSE);
    }
    return function(set, device, interfaceClassGuid, memberIndex, interfaceData);
}

BOOL TSetupApiEntries::SetupDiGetDeviceInterfaceDetailA(HDEVINFO set,
                                                        PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                                        DWORD detailSize, PDWORD requiredSize,
                                                        PSP_DEVINFO_DATA device) const {
    const auto function = Entry<PFN_SetupDiGetDeviceInterfaceDetailA>(kGetDeviceInterfaceDetailA);
    if (function == nullptr) {
        return Unbound(FALSE);
    }
    return function(set, interfaceData, detail, detailSize, requiredSize, device);
}

BOOL TSetupApiEntries::SetupDiDestroyDeviceInfoList(HDEVINFO set) const {
    const auto function = Entry<PFN_SetupDiDestroyDeviceInfoList>(kDestroyDeviceInfoList);
    if (function == nullptr) {
        return Unbound(FALSE);
    }
    return function(set);
}

BOOL TSetupApiEntries::SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                         DWORD property, PDWORD regDataType,
                                                         PBYTE buffer, DWORD bufferSize,
                                                         PDWORD requiredSize) const {
    const auto function = Entry<PFN_SetupDiGetDeviceRegistryPropertyA>(kGetDeviceRegistryPropertyA);
    if (function == nullptr) {
        return Unbound(FALSE);
    }
    return function(set, device, property, regDataType, buffer, bufferSize, requiredSize);
}

BOOL TSetupApiEntries::SetupDiGetDeviceRegistryProperty(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                        DWORD property, PDWORD regDataType,
                                                        PBYTE buffer, DWORD bufferSize,
                                                        PDWORD requiredSize) const {
    const auto function = Entry<PFN_SetupDiGetDeviceRegistryPropertyA>(kGetDeviceRegistryProperty);
    if (function == nullptr) {
        return Unbound(FALSE);
    }
    return function(set, device, property, regDataType, buffer, bufferSize, requiredSize);
}

} // namespace platform
