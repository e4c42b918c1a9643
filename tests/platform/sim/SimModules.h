// The simulated modules loaded as the program loads them, with the exports it calls looked
// up by name.
#pragma once

#include "platform/SetupHidTypes.h"
#include "platform/sim/SimBus.h"

#include <string>

namespace platform::sim::testing {

// Opens a device path as the program does: shared for reading and writing, existing only.
inline HANDLE OpenDevice(TSimBus& bus, const std::string& path,
                         DWORD access = GENERIC_READ | GENERIC_WRITE, DWORD flags = 0) {
    return bus.CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, flags, nullptr);
}

template <typename Function> Function ExportOf(TSimBus& bus, HMODULE module, const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(bus.GetProcAddress(module, name)));
}

class TSimModules {
    // First: the look-ups below need them.
    TSimBus& bus_;
    HMODULE setup_;
    HMODULE hid_;
    HMODULE kernel32_;

public:
    explicit TSimModules(TSimBus& bus)
        : bus_(bus), setup_(bus.LoadLibraryA("SetupApi.dll")), hid_(bus.LoadLibraryA("HID.dll")),
          kernel32_(bus.LoadLibraryA("kernel32.dll")) {}
    TSimModules(const TSimModules&) = delete;
    TSimModules& operator=(const TSimModules&) = delete;
    ~TSimModules() {
        bus_.FreeLibrary(kernel32_);
        bus_.FreeLibrary(hid_);
        bus_.FreeLibrary(setup_);
    }

    HMODULE Setup() const { return setup_; }
    HMODULE Hid() const { return hid_; }

    template <typename Function> Function Setup(const char* name) const {
        return ExportOf<Function>(bus_, setup_, name);
    }
    template <typename Function> Function Hid(const char* name) const {
        return ExportOf<Function>(bus_, hid_, name);
    }

    using PFN_CancelIo = BOOL (*)(HANDLE);

    const PFN_SetupDiGetClassDevsA GetClassDevs =
        Setup<PFN_SetupDiGetClassDevsA>("SetupDiGetClassDevsA");
    const PFN_SetupDiEnumDeviceInterfaces EnumDeviceInterfaces =
        Setup<PFN_SetupDiEnumDeviceInterfaces>("SetupDiEnumDeviceInterfaces");
    const PFN_SetupDiGetDeviceInterfaceDetailA GetDeviceInterfaceDetail =
        Setup<PFN_SetupDiGetDeviceInterfaceDetailA>("SetupDiGetDeviceInterfaceDetailA");
    const PFN_SetupDiDestroyDeviceInfoList DestroyDeviceInfoList =
        Setup<PFN_SetupDiDestroyDeviceInfoList>("SetupDiDestroyDeviceInfoList");
    const PFN_SetupDiGetDeviceRegistryPropertyA GetDeviceRegistryProperty =
        Setup<PFN_SetupDiGetDeviceRegistryPropertyA>("SetupDiGetDeviceRegistryPropertyA");
    const PFN_HidD_GetHidGuid GetHidGuid = Hid<PFN_HidD_GetHidGuid>("HidD_GetHidGuid");
    const PFN_HidD_GetAttributes GetAttributes = Hid<PFN_HidD_GetAttributes>("HidD_GetAttributes");
    const PFN_HidD_GetPreparsedData GetPreparsedData =
        Hid<PFN_HidD_GetPreparsedData>("HidD_GetPreparsedData");
    const PFN_HidD_FreePreparsedData FreePreparsedData =
        Hid<PFN_HidD_FreePreparsedData>("HidD_FreePreparsedData");
    const PFN_HidP_GetCaps GetCaps = Hid<PFN_HidP_GetCaps>("HidP_GetCaps");
    const PFN_HidD_GetManufacturerString GetManufacturerString =
        Hid<PFN_HidD_GetManufacturerString>("HidD_GetManufacturerString");
    const PFN_HidD_GetProductString GetProductString =
        Hid<PFN_HidD_GetProductString>("HidD_GetProductString");
    const PFN_HidD_GetSerialNumberString GetSerialNumberString =
        Hid<PFN_HidD_GetSerialNumberString>("HidD_GetSerialNumberString");
    const PFN_HidD_GetIndexedString GetIndexedString =
        Hid<PFN_HidD_GetIndexedString>("HidD_GetIndexedString");
    const PFN_HidD_GetNumInputBuffers GetNumInputBuffers =
        Hid<PFN_HidD_GetNumInputBuffers>("HidD_GetNumInputBuffers");
    const PFN_HidD_SetNumInputBuffers SetNumInputBuffers =
        Hid<PFN_HidD_SetNumInputBuffers>("HidD_SetNumInputBuffers");
    const PFN_CancelIo CancelIo = ExportOf<PFN_CancelIo>(bus_, kernel32_, "CancelIo");
};

} // namespace platform::sim::testing
