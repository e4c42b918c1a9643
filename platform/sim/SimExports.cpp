#include "platform/sim/SimExports.h"

#include "platform/HidExports.h"
#include "platform/ModuleExports.h"
#include "platform/SetupApiExports.h"

#include <array>
#include <cstdint>
#include <type_traits>
#include <utility>

#ifdef _WIN32
#define VUZ_SIM_API WINAPI
#else
#define VUZ_SIM_API
#endif

namespace platform::sim::detail {

namespace {

using PFN_CancelIo = BOOL(VUZ_SIM_API*)(HANDLE);

// Counts the call on the installed bus, applies an injected failure, then runs body.
// Without a simulated bus installed there is nobody to serve the call.
template <typename R, typename F>
R Call(std::string_view function, TModuleId module, R failure, F&& body) {
    TSimBus* bus = TSimBus::Installed();
    if (bus == nullptr) {
        Services().SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return failure;
    }
    TSimCore& core = bus->Core();
    if (const auto error = core.Enter(function, module)) {
        core.SetError(*error);
        return failure;
    }
    return std::forward<F>(body)(core);
}

constexpr TModuleId kSetup = TModuleId::SetupApi;
constexpr TModuleId kHid = TModuleId::Hid;

HDEVINFO VUZ_SIM_API SimSetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, HWND parent,
                                             DWORD flags) {
    return Call("SetupDiGetClassDevsA", kSetup, HDEVINFO(INVALID_HANDLE_VALUE), [&](auto& core) {
        return core.SetupDiGetClassDevsA(classGuid, enumerator, parent, flags);
    });
}

BOOL VUZ_SIM_API SimSetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                const GUID* interfaceClassGuid, DWORD memberIndex,
                                                PSP_DEVICE_INTERFACE_DATA interfaceData) {
    return Call("SetupDiEnumDeviceInterfaces", kSetup, BOOL(FALSE), [&](auto& core) {
        return core.SetupDiEnumDeviceInterfaces(set, device, interfaceClassGuid, memberIndex,
                                                interfaceData);
    });
}

BOOL VUZ_SIM_API SimSetupDiGetDeviceInterfaceDetailA(HDEVINFO set,
                                                     PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                     PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                                     DWORD detailSize, PDWORD requiredSize,
                                                     PSP_DEVINFO_DATA device) {
    return Call("SetupDiGetDeviceInterfaceDetailA", kSetup, BOOL(FALSE), [&](auto& core) {
        return core.SetupDiGetDeviceInterfaceDetailA(set, interfaceData, detail, detailSize,
                                                     requiredSize, device);
    });
}

BOOL VUZ_SIM_API SimSetupDiDestroyDeviceInfoList(HDEVINFO set) {
    return Call("SetupDiDestroyDeviceInfoList", kSetup, BOOL(FALSE),
                [&](auto& core) { return core.SetupDiDestroyDeviceInfoList(set); });
}

BOOL VUZ_SIM_API SimSetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                      DWORD property, PDWORD regDataType,
                                                      PBYTE buffer, DWORD bufferSize,
                                                      PDWORD requiredSize) {
    return Call("SetupDiGetDeviceRegistryPropertyA", kSetup, BOOL(FALSE), [&](auto& core) {
        return core.SetupDiGetDeviceRegistryPropertyA(set, device, property, regDataType, buffer,
                                                      bufferSize, requiredSize);
    });
}

void VUZ_SIM_API SimHidD_GetHidGuid(LPGUID guid) {
    Call("HidD_GetHidGuid", kHid, 0, [&](auto& core) {
        core.HidD_GetHidGuid(guid);
        return 0;
    });
}

BOOLEAN VUZ_SIM_API SimHidD_GetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes) {
    return Call("HidD_GetAttributes", kHid, BOOLEAN(FALSE),
                [&](auto& core) { return core.HidD_GetAttributes(handle, attributes); });
}

BOOLEAN VUZ_SIM_API SimHidD_GetPreparsedData(HANDLE handle, PHIDP_PREPARSED_DATA* data) {
    return Call("HidD_GetPreparsedData", kHid, BOOLEAN(FALSE),
                [&](auto& core) { return core.HidD_GetPreparsedData(handle, data); });
}

BOOLEAN VUZ_SIM_API SimHidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) {
    return Call("HidD_FreePreparsedData", kHid, BOOLEAN(FALSE),
                [&](auto& core) { return core.HidD_FreePreparsedData(data); });
}

BOOLEAN VUZ_SIM_API SimHidD_GetNumInputBuffers(HANDLE handle, PULONG count) {
    return Call("HidD_GetNumInputBuffers", kHid, BOOLEAN(FALSE),
                [&](auto& core) { return core.HidD_GetNumInputBuffers(handle, count); });
}

BOOLEAN VUZ_SIM_API SimHidD_SetNumInputBuffers(HANDLE handle, ULONG count) {
    return Call("HidD_SetNumInputBuffers", kHid, BOOLEAN(FALSE),
                [&](auto& core) { return core.HidD_SetNumInputBuffers(handle, count); });
}

NTSTATUS VUZ_SIM_API SimHidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) {
    return Call("HidP_GetCaps", kHid, NTSTATUS(HIDP_STATUS_INVALID_PREPARSED_DATA),
                [&](auto& core) { return core.HidP_GetCaps(data, caps); });
}

template <TSimCore::TStringKind Kind> constexpr std::string_view kStringFunction = {};
template <>
constexpr std::string_view kStringFunction<TSimCore::TStringKind::Manufacturer> =
    "HidD_GetManufacturerString";
template <>
constexpr std::string_view kStringFunction<TSimCore::TStringKind::Product> =
    "HidD_GetProductString";
template <>
constexpr std::string_view kStringFunction<TSimCore::TStringKind::SerialNumber> =
    "HidD_GetSerialNumberString";

template <TSimCore::TStringKind Kind>
BOOLEAN VUZ_SIM_API SimHidD_GetString(HANDLE handle, PVOID buffer, ULONG length) {
    return Call(kStringFunction<Kind>, kHid, BOOLEAN(FALSE),
                [&](auto& core) { return core.HidD_GetString(Kind, handle, buffer, length); });
}

BOOLEAN VUZ_SIM_API SimHidD_GetIndexedString(HANDLE handle, ULONG index, PVOID buffer,
                                             ULONG length) {
    return Call("HidD_GetIndexedString", kHid, BOOLEAN(FALSE), [&](auto& core) {
        return core.HidD_GetIndexedString(handle, index, buffer, length);
    });
}

BOOL VUZ_SIM_API SimCancelIo(HANDLE handle) {
    return Call("CancelIo", TModuleId::Kernel32, BOOL(FALSE),
                [&](auto& core) { return core.CancelIo(handle); });
}

static_assert(std::is_same_v<decltype(&SimSetupDiGetClassDevsA), PFN_SetupDiGetClassDevsA>);
static_assert(
    std::is_same_v<decltype(&SimSetupDiEnumDeviceInterfaces), PFN_SetupDiEnumDeviceInterfaces>);
static_assert(std::is_same_v<decltype(&SimSetupDiGetDeviceInterfaceDetailA),
                             PFN_SetupDiGetDeviceInterfaceDetailA>);
static_assert(
    std::is_same_v<decltype(&SimSetupDiDestroyDeviceInfoList), PFN_SetupDiDestroyDeviceInfoList>);
static_assert(std::is_same_v<decltype(&SimSetupDiGetDeviceRegistryPropertyA),
                             PFN_SetupDiGetDeviceRegistryPropertyA>);
static_assert(std::is_same_v<decltype(&SimHidD_GetHidGuid), PFN_HidD_GetHidGuid>);
static_assert(std::is_same_v<decltype(&SimHidD_GetAttributes), PFN_HidD_GetAttributes>);
static_assert(std::is_same_v<decltype(&SimHidD_GetPreparsedData), PFN_HidD_GetPreparsedData>);
static_assert(std::is_same_v<decltype(&SimHidD_FreePreparsedData), PFN_HidD_FreePreparsedData>);
static_assert(std::is_same_v<decltype(&SimHidD_GetNumInputBuffers), PFN_HidD_GetNumInputBuffers>);
static_assert(std::is_same_v<decltype(&SimHidD_SetNumInputBuffers), PFN_HidD_SetNumInputBuffers>);
static_assert(std::is_same_v<decltype(&SimHidP_GetCaps), PFN_HidP_GetCaps>);
static_assert(std::is_same_v<decltype(&SimHidD_GetString<TSimCore::TStringKind::Manufacturer>),
                             PFN_HidD_GetManufacturerString>);
static_assert(std::is_same_v<decltype(&SimHidD_GetIndexedString), PFN_HidD_GetIndexedString>);

// The exports nobody in this program calls: one function per export, so that each can
// count its calls under its own name. Index: setup exports first, then HID exports.
constexpr std::size_t kStubCount = SetupApiExportCount + HidExportCount;

constexpr std::string_view StubName(std::size_t index) {
    return index < SetupApiExportCount ? SetupApiExportNames()[index]
                                       : HidExportNames()[index - SetupApiExportCount];
}

template <std::size_t Index> std::intptr_t VUZ_SIM_API NotImplementedExport() {
    return Call(StubName(Index), Index < SetupApiExportCount ? kSetup : kHid, std::intptr_t{0},
                [](auto& core) {
                    core.SetError(ERROR_CALL_NOT_IMPLEMENTED);
                    return std::intptr_t{0};
                });
}

template <std::size_t... Index>
std::array<FARPROC, kStubCount> MakeStubs(std::index_sequence<Index...>) {
    return {&NotImplementedExport<Index>...};
}

} // namespace

std::map<std::string, FARPROC, std::less<>> ExportTable(TModuleId module) {
    static const std::array<FARPROC, kStubCount> stubs =
        MakeStubs(std::make_index_sequence<kStubCount>{});
    const TImplementedExport implemented[] = {
        {"SetupDiGetClassDevsA", AsProc(&SimSetupDiGetClassDevsA)},
        {"SetupDiEnumDeviceInterfaces", AsProc(&SimSetupDiEnumDeviceInterfaces)},
        {"SetupDiGetDeviceInterfaceDetailA", AsProc(&SimSetupDiGetDeviceInterfaceDetailA)},
        {"SetupDiDestroyDeviceInfoList", AsProc(&SimSetupDiDestroyDeviceInfoList)},
        {"SetupDiGetDeviceRegistryPropertyA", AsProc(&SimSetupDiGetDeviceRegistryPropertyA)},
        {"HidD_GetHidGuid", AsProc(&SimHidD_GetHidGuid)},
        {"HidD_GetAttributes", AsProc(&SimHidD_GetAttributes)},
        {"HidD_GetPreparsedData", AsProc(&SimHidD_GetPreparsedData)},
        {"HidD_FreePreparsedData", AsProc(&SimHidD_FreePreparsedData)},
        {"HidD_GetNumInputBuffers", AsProc(&SimHidD_GetNumInputBuffers)},
        {"HidD_SetNumInputBuffers", AsProc(&SimHidD_SetNumInputBuffers)},
        {"HidP_GetCaps", AsProc(&SimHidP_GetCaps)},
        {"HidD_GetManufacturerString",
         AsProc(&SimHidD_GetString<TSimCore::TStringKind::Manufacturer>)},
        {"HidD_GetProductString", AsProc(&SimHidD_GetString<TSimCore::TStringKind::Product>)},
        {"HidD_GetSerialNumberString",
         AsProc(&SimHidD_GetString<TSimCore::TStringKind::SerialNumber>)},
        {"HidD_GetIndexedString", AsProc(&SimHidD_GetIndexedString)},
        {"CancelIo", AsProc(&SimCancelIo)},
    };

    if (module == TModuleId::Kernel32) {
        TExportMap table;
        table.emplace("CancelIo", AsProc(&SimCancelIo));
        return table;
    }
    const bool setup = module == TModuleId::SetupApi;
    const std::size_t first = setup ? 0 : SetupApiExportCount;
    return MakeExportMap(
        setup ? SetupApiExportNames() : HidExportNames(),
        [first](std::size_t i) { return stubs[first + i]; }, implemented);
}

} // namespace platform::sim::detail
