// What a virtual HID device on the simulated bus is and how it behaves. The defaults make a
// plain read-write device with the adapter's IDs and 8-byte reports.
#pragma once

#include "platform/PlatformTypes.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::sim {

// Identifies a plugged device for the test; a new one at each plug.
using TSimDeviceId = std::uint32_t;

// A string descriptor as the HID class driver hands it out.
struct TSimString {
    enum class TState {
        Present, // TRUE and the text
        Absent,  // the device has no such string: FALSE, ERROR_INVALID_PARAMETER
        Failing, // the request fails: FALSE with Error
    };
    TState State = TState::Present;
    std::u16string Text;
    DWORD Error = ERROR_GEN_FAILURE;

    static TSimString Present(std::u16string text) { return {TState::Present, std::move(text)}; }
    static TSimString Absent() { return {TState::Absent, {}, ERROR_INVALID_PARAMETER}; }
    static TSimString Failing(DWORD error = ERROR_GEN_FAILURE) {
        return {TState::Failing, {}, error};
    }
};

// A device registry property as the setup service stores it: its registry data type and raw
// bytes. A property the device lacks is simply not in the map; one longer than a caller's
// buffer is reported as the platform reports it (ERROR_INSUFFICIENT_BUFFER, buffer untouched).
struct TSimProperty {
    DWORD Type = 0;
    std::vector<BYTE> Data;

    static constexpr DWORD kTextType = 1;   // REG_SZ
    static constexpr DWORD kBinaryType = 3; // REG_BINARY
    static constexpr DWORD kNumberType = 4; // REG_DWORD
    static constexpr DWORD kListType = 7;   // REG_MULTI_SZ

    static TSimProperty Text(std::string_view text);
    static TSimProperty List(const std::vector<std::string>& texts);
    static TSimProperty Number(DWORD value);
    static TSimProperty Binary(std::vector<BYTE> bytes);
};

// Device registry property codes (SPDRP_*) used by the defaults.
namespace property {
inline constexpr DWORD kDeviceDesc = 0x00;
inline constexpr DWORD kHardwareId = 0x01;
inline constexpr DWORD kCompatibleIds = 0x02;
inline constexpr DWORD kService = 0x04;
inline constexpr DWORD kClass = 0x07;
inline constexpr DWORD kClassGuid = 0x08;
inline constexpr DWORD kDriver = 0x09;
inline constexpr DWORD kConfigFlags = 0x0A;
inline constexpr DWORD kMfg = 0x0B;
inline constexpr DWORD kFriendlyName = 0x0C;
inline constexpr DWORD kLocationInformation = 0x0D;
inline constexpr DWORD kPhysicalDeviceObjectName = 0x0E;
inline constexpr DWORD kCapabilities = 0x0F;
inline constexpr DWORD kUiNumber = 0x10;
inline constexpr DWORD kUpperFilters = 0x11;
inline constexpr DWORD kLowerFilters = 0x12;
inline constexpr DWORD kBusTypeGuid = 0x13;
inline constexpr DWORD kLegacyBusType = 0x14;
inline constexpr DWORD kBusNumber = 0x15;
inline constexpr DWORD kEnumeratorName = 0x16;
inline constexpr DWORD kAddress = 0x1C;
} // namespace property

// The properties a HID device usually has, for the adapter's IDs.
std::map<DWORD, TSimProperty> StandardProperties();

enum class TSimAccess {
    ReadWrite, // opens with any access
    QueryOnly, // opens only with desired access 0 (the system holds it, like a keyboard)
    Unopenable // every open fails with OpenError
};

struct TSimDeviceConfig {
    // Empty: "\\?\hid#vid_XXXX&pid_XXXX#sim<instance>#{4d1e55b2-f16f-11cf-88cb-001111000030}".
    std::string Path;
    // 0: a fresh device instance number at each plug.
    DWORD DevInst = 0;
    // Present devices are enumerated by rank, and in plug order within one rank: a device
    // plugged later with a lower rank sorts in before those plugged earlier.
    int EnumerationRank = 0;

    USHORT VendorID = 0x0416;
    USHORT ProductID = 0x8249;
    USHORT VersionNumber = 0x0100;
    USHORT UsagePage = 0xFF00;
    USHORT Usage = 0x0001;
    // Byte counts including the report ID byte, as the class driver reports them.
    USHORT InputReportByteLength = 8;
    USHORT OutputReportByteLength = 8;
    USHORT FeatureReportByteLength = 0;

    TSimString Manufacturer = TSimString::Present(u"Simulated Devices");
    TSimString Product = TSimString::Present(u"Simulated HID Device");
    TSimString SerialNumber = TSimString::Present(u"SIM0001");
    // String descriptor 0; none: the request fails with ERROR_GEN_FAILURE.
    std::optional<std::vector<std::uint16_t>> Languages = std::vector<std::uint16_t>{0x0409};

    std::map<DWORD, TSimProperty> Properties = StandardProperties();

    TSimAccess Access = TSimAccess::ReadWrite;
    DWORD OpenError = ERROR_ACCESS_DENIED;
    // HidD_GetAttributes fails with this error when set.
    std::optional<DWORD> IdentificationError;
    // HidD_GetPreparsedData fails with this error when set.
    std::optional<DWORD> PreparsedDataError;
    // The driver's input buffer count for each new handle.
    ULONG NumInputBuffers = 32;
};

// The same description under its shorter name.
using TSimDevice = TSimDeviceConfig;

} // namespace platform::sim
