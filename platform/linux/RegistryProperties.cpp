#include "platform/linux/RegistryProperties.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace platform::linux_backend {

namespace {

// Property codes (SPDRP_*).
constexpr DWORD kDeviceDesc = 0x00;
constexpr DWORD kHardwareId = 0x01;
constexpr DWORD kCompatibleIds = 0x02;
constexpr DWORD kService = 0x04;
constexpr DWORD kClass = 0x07;
constexpr DWORD kClassGuid = 0x08;
constexpr DWORD kDriver = 0x09;
constexpr DWORD kConfigFlags = 0x0A;
constexpr DWORD kMfg = 0x0B;
constexpr DWORD kLocationInformation = 0x0D;
constexpr DWORD kPhysicalDeviceObjectName = 0x0E;
constexpr DWORD kCapabilities = 0x0F;
constexpr DWORD kUiNumber = 0x10;
constexpr DWORD kBusTypeGuid = 0x13;
constexpr DWORD kLegacyBusType = 0x14;
constexpr DWORD kBusNumber = 0x15;
constexpr DWORD kEnumeratorName = 0x16;
constexpr DWORD kAddress = 0x1C;

constexpr DWORD kCapabilityRemovable = 0x04;       // CM_DEVCAP_REMOVABLE
constexpr DWORD kCapabilitySurpriseRemoval = 0x80; // CM_DEVCAP_SURPRISEREMOVALOK
constexpr DWORD kInterfaceTypeUndefined = 0xFFFFFFFFu;

// GUID_BUS_TYPE_HID {eeaf37d0-1963-47c4-aa48-72476db7cf49}, as stored.
constexpr BYTE kHidBusType[16] = {0xD0, 0x37, 0xAF, 0xEE, 0x63, 0x19, 0xC4, 0x47,
                                  0xAA, 0x48, 0x72, 0x47, 0x6D, 0xB7, 0xCF, 0x49};

TRegistryValue Text(std::string_view text) {
    TRegistryValue value{TRegistryValue::kText, {text.begin(), text.end()}};
    value.Data.push_back(0);
    return value;
}

TRegistryValue List(const std::vector<std::string>& texts) {
    TRegistryValue value{TRegistryValue::kList, {}};
    for (const std::string& text : texts) {
        value.Data.insert(value.Data.end(), text.begin(), text.end());
        value.Data.push_back(0);
    }
    value.Data.push_back(0);
    return value;
}

TRegistryValue Number(DWORD number) {
    TRegistryValue value{TRegistryValue::kNumber, std::vector<BYTE>(sizeof number)};
    for (std::size_t i = 0; i < sizeof number; ++i) {
        value.Data[i] = static_cast<BYTE>(number >> (8 * i));
    }
    return value;
}

std::string HardwareId(const THidrawIdentity& identity, bool withRevision) {
    char text[64];
    if (withRevision) {
        std::snprintf(text, sizeof text, "HID\\VID_%04X&PID_%04X&REV_%04X", identity.VendorID,
                      identity.ProductID, identity.VersionNumber);
    } else {
        std::snprintf(text, sizeof text, "HID\\VID_%04X&PID_%04X", identity.VendorID,
                      identity.ProductID);
    }
    return text;
}

} // namespace

TRegistryProperties MakeRegistryProperties(const THidrawNode& node,
                                           const THidrawIdentity& identity) {
    TRegistryProperties properties;
    if (!identity.HidName.empty()) {
        properties[kDeviceDesc] = Text(identity.HidName);
    }
    properties[kHardwareId] = List({HardwareId(identity, true), HardwareId(identity, false)});
    if (!identity.Modalias.empty()) {
        properties[kCompatibleIds] = List({identity.Modalias});
    }
    if (!identity.Driver.empty()) {
        properties[kService] = Text(identity.Driver);
        properties[kDriver] = Text(identity.Driver);
    }
    properties[kClass] = Text(kHidClassName);
    properties[kClassGuid] = Text(kHidClassGuidText);
    properties[kConfigFlags] = Number(0);
    if (identity.Manufacturer) {
        properties[kMfg] = Text(*identity.Manufacturer);
    }
    if (!identity.HidPhys.empty()) {
        properties[kLocationInformation] = Text(identity.HidPhys);
    }
    properties[kPhysicalDeviceObjectName] = Text(node.DevPath);
    properties[kCapabilities] =
        Number(identity.Usb ? kCapabilityRemovable | kCapabilitySurpriseRemoval : 0);
    properties[kUiNumber] = Number(node.Number);
    properties[kBusTypeGuid] = {TRegistryValue::kBinary,
                                std::vector<BYTE>(std::begin(kHidBusType), std::end(kHidBusType))};
    properties[kLegacyBusType] = Number(kInterfaceTypeUndefined);
    properties[kBusNumber] = Number(identity.BusNumber);
    properties[kEnumeratorName] = Text("HID");
    if (identity.Usb) {
        properties[kAddress] = Number(identity.DevNumber);
    }
    return properties;
}

} // namespace platform::linux_backend
