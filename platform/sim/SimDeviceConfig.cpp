#include "platform/sim/SimDeviceConfig.h"

#include <utility>

namespace platform::sim {

TSimProperty TSimProperty::Text(std::string_view text) {
    TSimProperty result{kTextType, {text.begin(), text.end()}};
    result.Data.push_back(0);
    return result;
}

TSimProperty TSimProperty::List(const std::vector<std::string>& texts) {
    TSimProperty result{kListType, {}};
    for (const auto& text : texts) {
        result.Data.insert(result.Data.end(), text.begin(), text.end());
        result.Data.push_back(0);
    }
    result.Data.push_back(0);
    return result;
}

TSimProperty TSimProperty::Number(DWORD value) {
    TSimProperty result{kNumberType, std::vector<BYTE>(sizeof value)};
    for (std::size_t i = 0; i < sizeof value; ++i) {
        result.Data[i] = static_cast<BYTE>(value >> (8 * i)); // little-endian, as stored
    }
    return result;
}

TSimProperty TSimProperty::Binary(std::vector<BYTE> bytes) {
    return {kBinaryType, std::move(bytes)};
}

std::map<DWORD, TSimProperty> StandardProperties() {
    using namespace property;
    return {
        {kDeviceDesc, TSimProperty::Text("HID-compliant device")},
        {kHardwareId,
         TSimProperty::List({"HID\\VID_0416&PID_8249&REV_0100", "HID\\VID_0416&PID_8249",
                             "HID_DEVICE_UP:FF00_U:0001", "HID_DEVICE"})},
        {kCompatibleIds, TSimProperty::List({"HID_DEVICE_SYSTEM_VHF"})},
        {kClass, TSimProperty::Text("HIDClass")},
        {kClassGuid, TSimProperty::Text("{745a17a0-74d3-11d0-b6fe-00a0c90f57da}")},
        {kDriver, TSimProperty::Text("{745a17a0-74d3-11d0-b6fe-00a0c90f57da}\\0001")},
        {kConfigFlags, TSimProperty::Number(0)},
        {kMfg, TSimProperty::Text("(Standard system devices)")},
        {kCapabilities, TSimProperty::Number(0x000000A0)},
        {kUiNumber, TSimProperty::Number(0)},
        {kBusTypeGuid, TSimProperty::Binary({0x0A, 0x64, 0x89, 0xEE, 0x1B, 0x9F, 0xD0, 0x11, 0x9F,
                                             0xE1, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00})},
        {kLegacyBusType, TSimProperty::Number(0xFFFFFFFFu)},
        {kBusNumber, TSimProperty::Number(0)},
        {kEnumeratorName, TSimProperty::Text("HID")},
        {kPhysicalDeviceObjectName, TSimProperty::Text("\\Device\\00000042")},
        {kAddress, TSimProperty::Number(1)},
    };
}

} // namespace platform::sim
