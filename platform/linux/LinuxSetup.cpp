#include "platform/linux/LinuxServices.h"

#include <cstddef>
#include <cstring>

namespace platform::linux_backend {

namespace {

constexpr DWORD kAllClasses = 0x00000004;      // DIGCF_ALLCLASSES
constexpr DWORD kInterfaceActive = 0x00000001; // SPINT_ACTIVE
constexpr DWORD kPropertyLimit = 0x00000025;   // SPDRP_MAXIMUM_PROPERTY
constexpr DWORD kErrorInvalidData = 13;
constexpr DWORD kErrorInvalidRegProperty = 521;
constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

constexpr GUID kHidInterfaceGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
constexpr GUID kHidClassGuid = {
    0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};

bool SameGuid(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

} // namespace

HDEVINFO TLinuxServices::SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR, HWND, DWORD flags) {
    if (classGuid == nullptr && (flags & kAllClasses) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Only hidraw nodes exist here, each with one interface of the HID interface class.
    const bool interfaces = (flags & DIGCF_DEVICEINTERFACE) != 0;
    const bool hid = (flags & kAllClasses) != 0 ||
                     SameGuid(*classGuid, interfaces ? kHidInterfaceGuid : kHidClassGuid);
    std::vector<TSetMember> members;
    {
        // Nodes are looked up in a class directory opened since the last enumeration.
        std::lock_guard lock(mutex_);
        classDir_.reset();
    }
    if (hid) {
        const std::vector<THidrawNode> nodes = ListHidrawNodes(Roots());
        std::vector<std::string> paths;
        paths.reserve(nodes.size());
        for (const THidrawNode& node : nodes) {
            paths.push_back(node.DevPath);
        }
        const std::map<std::string, DWORD> numbers = instances_.Update(paths);
        for (const THidrawNode& node : nodes) {
            TSetMember member;
            member.devInst = numbers.at(node.DevPath);
            member.path = Roots().Dev + "/" + node.Name;
            member.node = node;
            members.push_back(std::move(member));
        }
    }
    std::lock_guard lock(mutex_);
    for (const TSetMember& member : members) {
        issued_.insert_or_assign(member.node.Name, member.node);
    }
    const HDEVINFO set = reinterpret_cast<HDEVINFO>(nextSet_);
    nextSet_ += 0x10;
    sets_.emplace(set, std::move(members));
    SetLastError(ERROR_SUCCESS);
    return set;
}

BOOL TLinuxServices::SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                 const GUID* interfaceClassGuid, DWORD memberIndex,
                                                 PSP_DEVICE_INTERFACE_DATA interfaceData) {
    std::lock_guard lock(mutex_);
    const auto found = sets_.find(set);
    if (found == sets_.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (interfaceClassGuid == nullptr || interfaceData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) ||
        (device != nullptr && device->cbSize != sizeof(SP_DEVINFO_DATA))) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const std::vector<TSetMember>& members = found->second;
    ULONG_PTR position = memberIndex;
    if (device != nullptr) {
        // The interfaces of one device: each has exactly one.
        if (device->Reserved == 0 || device->Reserved > members.size()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        position = memberIndex == 0 ? device->Reserved - 1 : members.size();
    }
    if (!SameGuid(*interfaceClassGuid, kHidInterfaceGuid) || position >= members.size()) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    interfaceData->InterfaceClassGuid = *interfaceClassGuid;
    interfaceData->Flags = kInterfaceActive;
    interfaceData->Reserved = position + 1;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL TLinuxServices::SetupDiGetDeviceInterfaceDetailA(HDEVINFO set,
                                                      PSP_DEVICE_INTERFACE_DATA interfaceData,
                                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail,
                                                      DWORD detailSize, PDWORD requiredSize,
                                                      PSP_DEVINFO_DATA device) {
    std::lock_guard lock(mutex_);
    const auto found = sets_.find(set);
    if (found == sets_.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (interfaceData == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const std::vector<TSetMember>& members = found->second;
    if (interfaceData->Reserved == 0 || interfaceData->Reserved > members.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((detail == nullptr && detailSize != 0) ||
        (detail != nullptr && (detailSize < kPathOffset + 1 ||
                               detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))) ||
        (device != nullptr && device->cbSize != sizeof(SP_DEVINFO_DATA))) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    const TSetMember& member = members[interfaceData->Reserved - 1];
    const DWORD needed = static_cast<DWORD>(kPathOffset + member.path.size() + 1);
    if (requiredSize != nullptr) {
        *requiredSize = needed;
    }
    if (detail == nullptr || detailSize < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(reinterpret_cast<char*>(detail) + kPathOffset, member.path.c_str(),
                member.path.size() + 1);
    if (device != nullptr) {
        device->ClassGuid = kHidClassGuid;
        device->DevInst = member.devInst;
        device->Reserved = interfaceData->Reserved;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL TLinuxServices::SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    std::lock_guard lock(mutex_);
    if (sets_.erase(set) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL TLinuxServices::SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, PSP_DEVINFO_DATA device,
                                                       DWORD property, PDWORD regDataType,
                                                       PBYTE buffer, DWORD bufferSize,
                                                       PDWORD requiredSize) {
    std::lock_guard lock(mutex_);
    const auto found = sets_.find(set);
    if (found == sets_.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (device == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (device->cbSize != sizeof(SP_DEVINFO_DATA)) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    std::vector<TSetMember>& members = found->second;
    if (device->Reserved == 0 || device->Reserved > members.size() ||
        members[device->Reserved - 1].devInst != device->DevInst) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (property >= kPropertyLimit) {
        SetLastError(kErrorInvalidRegProperty);
        return FALSE;
    }
    if (buffer == nullptr && bufferSize != 0) {
        SetLastError(ERROR_INVALID_USER_BUFFER);
        return FALSE;
    }
    TSetMember& member = members[device->Reserved - 1];
    if (!member.properties) {
        // Made once per set member from the instance's identity; a node gone before it was
        // ever read has no properties.
        const std::optional<THidrawIdentity> identity =
            IdentityFor(member.node, TIdentityDetail::Full);
        member.properties =
            identity ? MakeRegistryProperties(member.node, *identity) : TRegistryProperties{};
    }
    const auto value = member.properties->find(property);
    if (value == member.properties->end()) {
        SetLastError(kErrorInvalidData);
        return FALSE;
    }
    if (regDataType != nullptr) {
        *regDataType = value->second.Type;
    }
    const std::vector<BYTE>& data = value->second.Data;
    if (requiredSize != nullptr) {
        *requiredSize = static_cast<DWORD>(data.size());
    }
    if (data.size() > bufferSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (!data.empty()) {
        std::memcpy(buffer, data.data(), data.size());
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

std::size_t TLinuxServices::DeviceSetCount() const {
    std::lock_guard lock(mutex_);
    return sets_.size();
}

} // namespace platform::linux_backend
