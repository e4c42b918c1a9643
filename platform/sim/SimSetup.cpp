#include "platform/sim/SimCore.h"

#include <cstddef>
#include <cstring>

namespace platform::sim::detail {

namespace {

constexpr DWORD kAllClasses = 0x00000004;      // DIGCF_ALLCLASSES
constexpr DWORD kInterfaceActive = 0x00000001; // SPINT_ACTIVE
constexpr DWORD kPropertyLimit = 0x00000025;   // SPDRP_MAXIMUM_PROPERTY
constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

// Looks a device-info set up; on failure sets ERROR_INVALID_HANDLE and records why.
TDeviceSet* SetLocked(TSimCore& core, HDEVINFO set, std::string_view function) {
    const auto found = core.sets.find(set);
    if (found != core.sets.end()) {
        return &found->second;
    }
    core.SetError(ERROR_INVALID_HANDLE);
    core.ViolationLocked(
        std::string(function) + ": device-info set " + TSimCore::HandleText(set) +
        (core.destroyedSets.contains(set) ? " used after it was destroyed" : " was never created"));
    return nullptr;
}

// The member a record's Reserved field names (its position + 1), or none.
const std::shared_ptr<TDevice>* MemberOf(const TDeviceSet& set, ULONG_PTR reserved) {
    if (reserved == 0 || reserved > set.devices.size()) {
        return nullptr;
    }
    return &set.devices[reserved - 1];
}

} // namespace

HDEVINFO TSimCore::SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR, HWND, DWORD flags) {
    std::lock_guard lock(mutex);
    if (classGuid == nullptr && (flags & kAllClasses) == 0) {
        SetError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    TDeviceSet set;
    const bool interfaces = (flags & DIGCF_DEVICEINTERFACE) != 0;
    const bool hid =
        (flags & kAllClasses) != 0 || (interfaces ? SameGuid(*classGuid, kHidInterfaceGuid)
                                                  : SameGuid(*classGuid, kHidClassGuid));
    set.guid = interfaces ? kHidInterfaceGuid : kHidClassGuid;
    if (hid) {
        set.devices = PresentInOrderLocked();
        for (std::size_t position = 0; position < set.devices.size(); ++position) {
            set.devInsts.push_back(DevInstLocked(*set.devices[position], position));
        }
    }
    const HDEVINFO handle = MakeHandle<HDEVINFO>(nextSet, 0x10);
    sets.emplace(handle, std::move(set));
    ChangedLocked();
    SetError(ERROR_SUCCESS);
    return handle;
}

BOOL TSimCore::SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device,
                                           const GUID* interfaceClassGuid, DWORD memberIndex,
                                           PSP_DEVICE_INTERFACE_DATA interfaceData) {
    std::lock_guard lock(mutex);
    TDeviceSet* members = SetLocked(*this, set, "SetupDiEnumDeviceInterfaces");
    if (members == nullptr) {
        return FALSE;
    }
    if (interfaceClassGuid == nullptr || interfaceData == nullptr) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        (device != nullptr && device->cbSize != sizeof(SP_DEVINFO_DATA))) {
        SetError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    // Every member has one interface, of the HID interface class.
    ULONG_PTR position = memberIndex;
    if (device != nullptr) {
        if (MemberOf(*members, device->Reserved) == nullptr) {
            SetError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        position = memberIndex == 0 ? device->Reserved - 1 : members->devices.size();
    }
    if (!SameGuid(*interfaceClassGuid, kHidInterfaceGuid) ||
        !SameGuid(members->guid, kHidInterfaceGuid) || position >= members->devices.size()) {
        SetError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    interfaceData->InterfaceClassGuid = *interfaceClassGuid;
    interfaceData->Flags = kInterfaceActive;
    interfaceData->Reserved = position + 1;
    SetError(ERROR_SUCCESS);
    return TRUE;
}

BOOL TSimCore::SetupDiGetDeviceInterfaceDetailA(HDEVINFO set,
                                                PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                                DWORD detailSize, DWORD* requiredSize,
                                                PSP_DEVINFO_DATA device) {
    std::lock_guard lock(mutex);
    TDeviceSet* members = SetLocked(*this, set, "SetupDiGetDeviceInterfaceDetailA");
    if (members == nullptr) {
        return FALSE;
    }
    if (interfaceData == nullptr) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const std::shared_ptr<TDevice>* member = MemberOf(*members, interfaceData->Reserved);
    if (member == nullptr) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((detail == nullptr && detailSize != 0) ||
        (detail != nullptr && (detailSize < kPathOffset + 1 ||
                               detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))) ||
        (device != nullptr && device->cbSize != sizeof(SP_DEVINFO_DATA))) {
        SetError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const std::string& path = (*member)->path;
    const DWORD needed = static_cast<DWORD>(kPathOffset + path.size() + 1);
    if (requiredSize != nullptr) {
        *requiredSize = needed;
    }
    if (detail == nullptr || detailSize < needed) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(reinterpret_cast<char*>(detail) + kPathOffset, path.c_str(), path.size() + 1);
    if (device != nullptr) {
        device->ClassGuid = kHidClassGuid;
        device->DevInst = members->devInsts[interfaceData->Reserved - 1];
        device->Reserved = interfaceData->Reserved;
    }
    SetError(ERROR_SUCCESS);
    return TRUE;
}

BOOL TSimCore::SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    std::lock_guard lock(mutex);
    if (SetLocked(*this, set, "SetupDiDestroyDeviceInfoList") == nullptr) {
        return FALSE;
    }
    sets.erase(set);
    destroyedSets.insert(set);
    ChangedLocked();
    return TRUE;
}

BOOL TSimCore::SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                 DWORD property, DWORD* regDataType, BYTE* buffer,
                                                 DWORD bufferSize, DWORD* requiredSize) {
    std::lock_guard lock(mutex);
    TDeviceSet* members = SetLocked(*this, set, "SetupDiGetDeviceRegistryPropertyA");
    if (members == nullptr) {
        return FALSE;
    }
    if (device == nullptr) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (device->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const std::shared_ptr<TDevice>* member = MemberOf(*members, device->Reserved);
    if (member == nullptr || members->devInsts[device->Reserved - 1] != device->DevInst) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (property >= kPropertyLimit) {
        SetError(kErrorInvalidRegProperty);
        return FALSE;
    }
    if (buffer == nullptr && bufferSize != 0) {
        SetError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const auto& properties = (*member)->config.Properties;
    const auto found = properties.find(property);
    if (found == properties.end()) {
        SetError(kErrorInvalidData);
        return FALSE;
    }
    const TSimProperty& value = found->second;
    if (regDataType != nullptr) {
        *regDataType = value.Type;
    }
    if (requiredSize != nullptr) {
        *requiredSize = static_cast<DWORD>(value.Data.size());
    }
    if (value.Data.size() > bufferSize) {
        SetError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (!value.Data.empty()) {
        std::memcpy(buffer, value.Data.data(), value.Data.size());
    }
    SetError(ERROR_SUCCESS);
    return TRUE;
}

} // namespace platform::sim::detail
