#include "hid/HidPnPInfo.h"

#include "platform/SetupApi.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace hid {

namespace {

// Device registry property codes, as passed to the setup service.
enum : DWORD {
    kDeviceDesc = 0,
    kHardwareId = 1,
    kCompatibleIds = 2,
    kService = 4,
    kClass = 7,
    kClassGuid = 8,
    kDriver = 9,
    kConfigFlags = 10,
    kMfg = 11,
    kFriendlyName = 12,
    kLocationInformation = 13,
    kPhysicalDeviceObjectName = 14,
    kCapabilities = 15,
    kUiNumber = 16,
    kUpperFilters = 17,
    kLowerFilters = 18,
    kBusTypeGuid = 19,
    kLegacyBusType = 20,
    kBusNumber = 21,
    kEnumeratorName = 22,
    kSecuritySds = 24,
    kDevType = 25,
    kExclusive = 26,
    kCharacteristics = 27,
    kAddress = 28,
    kDevicePowerData = 30,
};

// Length of the zero-terminated text at text, at most limit bytes.
std::size_t BoundedLength(const char* text, std::size_t limit) {
    return static_cast<std::size_t>(std::find(text, text + limit, '\0') - text);
}

} // namespace

THidPnPInfo::THidPnPInfo(HDEVINFO deviceInfoSet, const SP_DEVINFO_DATA& info, const char* path)
    : deviceInfoData(info), devInst(info.DevInst), devicePath(path != nullptr ? path : "") {
    HDEVINFO set = deviceInfoSet;
    capabilities = ReadNumber(set, kCapabilities);
    className = ReadText(set, kClass);
    classGuid = ReadText(set, kClassGuid);
    compatibleIds = ReadList(set, kCompatibleIds);
    configFlags = ReadNumber(set, kConfigFlags);
    deviceDesc = ReadText(set, kDeviceDesc);
    driver = ReadText(set, kDriver);
    friendlyName = ReadText(set, kFriendlyName);
    hardwareId = ReadList(set, kHardwareId);
    lowerFilters = ReadList(set, kLowerFilters);
    mfg = ReadText(set, kMfg);
    upperFilters = ReadList(set, kUpperFilters);
    service = ReadText(set, kService);
    address = ReadText(set, kAddress);
    busNumber = ReadNumber(set, kBusNumber);
    devType = ReadNumber(set, kDevType);
    characteristics = ReadText(set, kCharacteristics);
    securitySds = ReadText(set, kSecuritySds);
    legacyBusType = ReadNumber(set, kLegacyBusType);
    exclusive = ReadNumber(set, kExclusive);
    enumeratorName = ReadText(set, kEnumeratorName);
    locationInformation = ReadText(set, kLocationInformation);
    physicalDeviceObjectName = ReadText(set, kPhysicalDeviceObjectName);
    busTypeGuid = ReadText(set, kBusTypeGuid);
    uiNumber = ReadNumber(set, kUiNumber);
    devicePowerData = ReadText(set, kDevicePowerData);
}

THidPnPInfo::~THidPnPInfo() = default;

// The readers ignore the call's result: a missing or oversized property leaves the preset
// empty buffer (or 0) as it was. The buffers are zeroed whole: a binary property has no
// terminating zero of its own.
std::string THidPnPInfo::ReadText(HDEVINFO set, DWORD code) {
    std::array<char, kTextBufferSize> buffer{};
    platform::SetupApiEntries().SetupDiGetDeviceRegistryPropertyA(
        set, &deviceInfoData, code, nullptr, reinterpret_cast<PBYTE>(buffer.data()),
        kTextBufferSize, nullptr);
    return std::string(buffer.data(), BoundedLength(buffer.data(), buffer.size()));
}

THidPnPInfo::TStringList THidPnPInfo::ReadList(HDEVINFO set, DWORD code) {
    std::array<char, kListBufferSize> buffer{};
    platform::SetupApiEntries().SetupDiGetDeviceRegistryPropertyA(
        set, &deviceInfoData, code, nullptr, reinterpret_cast<PBYTE>(buffer.data()),
        kListBufferSize, nullptr);
    TStringList list;
    std::size_t at = 0;
    while (at < buffer.size()) {
        const std::size_t length = BoundedLength(buffer.data() + at, buffer.size() - at);
        // An empty string ends the list; text that runs off the buffer is not a whole string.
        if (length == 0 || at + length == buffer.size()) {
            break;
        }
        list.emplace_back(buffer.data() + at, length);
        at += length + 1;
    }
    return list;
}

DWORD THidPnPInfo::ReadNumber(HDEVINFO set, DWORD code) {
    DWORD value = 0;
    platform::SetupApiEntries().SetupDiGetDeviceRegistryProperty(
        set, &deviceInfoData, code, nullptr, reinterpret_cast<PBYTE>(&value), sizeof value,
        nullptr);
    return value;
}

} // namespace hid
