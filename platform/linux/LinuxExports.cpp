#include "platform/linux/LinuxExports.h"

#include "platform/HidExports.h"
#include "platform/SetupApiExports.h"
#include "platform/SetupHidTypes.h"
#include "platform/linux/LinuxServices.h"

#include <cstdint>
#include <type_traits>
#include <utility>

namespace platform::linux_backend {

namespace {

using PFN_CancelIo = BOOL (*)(HANDLE);

// Runs body on the installed Linux services; with other services installed nobody serves
// the call.
template <typename R, typename F> R Call(R failure, F&& body) {
    TLinuxServices* services = TLinuxServices::Installed();
    if (services == nullptr) {
        Services().SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return failure;
    }
    return std::forward<F>(body)(*services);
}

HDEVINFO LinuxSetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, HWND parent,
                                   DWORD flags) {
    return Call(HDEVINFO(INVALID_HANDLE_VALUE), [&](auto& s) {
        return s.SetupDiGetClassDevsA(classGuid, enumerator, parent, flags);
    });
}

BOOL LinuxSetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device,
                                      const GUID* interfaceClassGuid, DWORD memberIndex,
                                      PSP_DEVICE_INTERFACE_DATA interfaceData) {
    return Call(BOOL(FALSE), [&](auto& s) {
        return s.SetupDiEnumDeviceInterfaces(set, device, interfaceClassGuid, memberIndex,
                                             interfaceData);
    });
}

BOOL LinuxSetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA interfaceData,
                                           PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                           DWORD detailSize, PDWORD requiredSize,
                                           PSP_DEVINFO_DATA device) {
    return Call(BOOL(FALSE), [&](auto& s) {
        return s.SetupDiGetDeviceInterfaceDetailA(set, interfaceData, detail, detailSize,
                                                  requiredSize, device);
    });
}

BOOL LinuxSetupDiDestroyDeviceInfoList(HDEVINFO set) {
    return Call(BOOL(FALSE), [&](auto& s) { return s.SetupDiDestroyDeviceInfoList(set); });
}

BOOL LinuxSetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD property,
                                            PDWORD regDataType, PBYTE buffer, DWORD bufferSize,
                                            PDWORD requiredSize) {
    return Call(BOOL(FALSE), [&](auto& s) {
        return s.SetupDiGetDeviceRegistryPropertyA(set, device, property, regDataType, buffer,
                                                   bufferSize, requiredSize);
    });
}

void LinuxHidD_GetHidGuid(LPGUID guid) {
    Call(0, [&](auto& s) {
        s.HidD_GetHidGuid(guid);
        return 0;
    });
}

BOOLEAN LinuxHidD_GetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes) {
    return Call(BOOLEAN(FALSE), [&](auto& s) { return s.HidD_GetAttributes(handle, attributes); });
}

BOOLEAN LinuxHidD_GetPreparsedData(HANDLE handle, PHIDP_PREPARSED_DATA* data) {
    return Call(BOOLEAN(FALSE), [&](auto& s) { return s.HidD_GetPreparsedData(handle, data); });
}

BOOLEAN LinuxHidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) {
    return Call(BOOLEAN(FALSE), [&](auto& s) { return s.HidD_FreePreparsedData(data); });
}

BOOLEAN LinuxHidD_GetNumInputBuffers(HANDLE handle, PULONG count) {
    return Call(BOOLEAN(FALSE), [&](auto& s) { return s.HidD_GetNumInputBuffers(handle, count); });
}

BOOLEAN LinuxHidD_SetNumInputBuffers(HANDLE handle, ULONG count) {
    return Call(BOOLEAN(FALSE), [&](auto& s) { return s.HidD_SetNumInputBuffers(handle, count); });
}

NTSTATUS LinuxHidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) {
    return Call(NTSTATUS(HIDP_STATUS_INVALID_PREPARSED_DATA),
                [&](auto& s) { return s.HidP_GetCaps(data, caps); });
}

template <TLinuxServices::TStringKind Kind>
BOOLEAN LinuxHidD_GetString(HANDLE handle, PVOID buffer, ULONG length) {
    return Call(BOOLEAN(FALSE),
                [&](auto& s) { return s.HidD_GetString(Kind, handle, buffer, length); });
}

BOOLEAN LinuxHidD_GetIndexedString(HANDLE handle, ULONG index, PVOID buffer, ULONG length) {
    return Call(BOOLEAN(FALSE),
                [&](auto& s) { return s.HidD_GetIndexedString(handle, index, buffer, length); });
}

BOOL LinuxCancelIo(HANDLE handle) {
    return Call(BOOL(FALSE), [&](auto& s) { return s.CancelIo(handle); });
}

static_assert(std::is_same_v<decltype(&LinuxSetupDiGetClassDevsA), PFN_SetupDiGetClassDevsA>);
static_assert(
    std::is_same_v<decltype(&LinuxSetupDiEnumDeviceInterfaces), PFN_SetupDiEnumDeviceInterfaces>);
static_assert(std::is_same_v<decltype(&LinuxSetupDiGetDeviceInterfaceDetailA),
                             PFN_SetupDiGetDeviceInterfaceDetailA>);
static_assert(
    std::is_same_v<decltype(&LinuxSetupDiDestroyDeviceInfoList), PFN_SetupDiDestroyDeviceInfoList>);
static_assert(std::is_same_v<decltype(&LinuxSetupDiGetDeviceRegistryPropertyA),
                             PFN_SetupDiGetDeviceRegistryPropertyA>);
static_assert(std::is_same_v<decltype(&LinuxHidD_GetHidGuid), PFN_HidD_GetHidGuid>);
static_assert(std::is_same_v<decltype(&LinuxHidD_GetAttributes), PFN_HidD_GetAttributes>);
static_assert(std::is_same_v<decltype(&LinuxHidD_GetPreparsedData), PFN_HidD_GetPreparsedData>);
static_assert(std::is_same_v<decltype(&LinuxHidD_FreePreparsedData), PFN_HidD_FreePreparsedData>);
static_assert(std::is_same_v<decltype(&LinuxHidD_GetNumInputBuffers), PFN_HidD_GetNumInputBuffers>);
static_assert(std::is_same_v<decltype(&LinuxHidD_SetNumInputBuffers), PFN_HidD_SetNumInputBuffers>);
static_assert(std::is_same_v<decltype(&LinuxHidP_GetCaps), PFN_HidP_GetCaps>);
static_assert(
    std::is_same_v<decltype(&LinuxHidD_GetString<TLinuxServices::TStringKind::Manufacturer>),
                   PFN_HidD_GetManufacturerString>);
static_assert(std::is_same_v<decltype(&LinuxHidD_GetIndexedString), PFN_HidD_GetIndexedString>);
static_assert(std::is_same_v<decltype(&LinuxCancelIo), PFN_CancelIo>);

// Every export this program never calls: whatever its parameters, it fails cleanly.
std::intptr_t NotImplementedExport() {
    Services().SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return 0;
}

TExportMap MakeTable(TLinuxModule module) {
    using enum TLinuxServices::TStringKind;
    const TImplementedExport implemented[] = {
        {"SetupDiGetClassDevsA", AsProc(&LinuxSetupDiGetClassDevsA)},
        {"SetupDiEnumDeviceInterfaces", AsProc(&LinuxSetupDiEnumDeviceInterfaces)},
        {"SetupDiGetDeviceInterfaceDetailA", AsProc(&LinuxSetupDiGetDeviceInterfaceDetailA)},
        {"SetupDiDestroyDeviceInfoList", AsProc(&LinuxSetupDiDestroyDeviceInfoList)},
        {"SetupDiGetDeviceRegistryPropertyA", AsProc(&LinuxSetupDiGetDeviceRegistryPropertyA)},
        {"HidD_GetHidGuid", AsProc(&LinuxHidD_GetHidGuid)},
        {"HidD_GetAttributes", AsProc(&LinuxHidD_GetAttributes)},
        {"HidD_GetPreparsedData", AsProc(&LinuxHidD_GetPreparsedData)},
        {"HidD_FreePreparsedData", AsProc(&LinuxHidD_FreePreparsedData)},
        {"HidD_GetNumInputBuffers", AsProc(&LinuxHidD_GetNumInputBuffers)},
        {"HidD_SetNumInputBuffers", AsProc(&LinuxHidD_SetNumInputBuffers)},
        {"HidP_GetCaps", AsProc(&LinuxHidP_GetCaps)},
        {"HidD_GetManufacturerString", AsProc(&LinuxHidD_GetString<Manufacturer>)},
        {"HidD_GetProductString", AsProc(&LinuxHidD_GetString<Product>)},
        {"HidD_GetSerialNumberString", AsProc(&LinuxHidD_GetString<SerialNumber>)},
        {"HidD_GetIndexedString", AsProc(&LinuxHidD_GetIndexedString)},
    };
    const auto stub = [](std::size_t) {
        return AsProc(&NotImplementedExport);
    };
    switch (module) {
    case TLinuxModule::SetupApi:
        return MakeExportMap(SetupApiExportNames(), stub, implemented);
    case TLinuxModule::Hid:
        return MakeExportMap(HidExportNames(), stub, implemented);
    case TLinuxModule::Kernel32:
        break;
    }
    TExportMap kernel32;
    kernel32.emplace("CancelIo", AsProc(&LinuxCancelIo));
    return kernel32;
}

} // namespace

const TExportMap& LinuxExportTable(TLinuxModule module) {
    static const TExportMap tables[] = {MakeTable(TLinuxModule::SetupApi),
                                        MakeTable(TLinuxModule::Hid),
                                        MakeTable(TLinuxModule::Kernel32)};
    return tables[static_cast<int>(module)];
}

} // namespace platform::linux_backend
