// The plug-and-play description of one HID device interface: its device path (every
// handle is opened with it), its device instance (its identity in reconciliation) and a
// snapshot of its registry properties, read once at construction.
#pragma once

#include "platform/SetupHidTypes.h"

#include <string>
#include <vector>

namespace hid {

class THidPnPInfo {
public:
    using TStringList = std::vector<std::string>;

    // Reads every property now; a property the device lacks, or one too long for its
    // buffer, stays empty or 0.
    THidPnPInfo(HDEVINFO deviceInfoSet, const SP_DEVINFO_DATA& deviceInfoData,
                const char* devicePath);
    virtual ~THidPnPInfo();

    THidPnPInfo(const THidPnPInfo&) = delete;
    THidPnPInfo& operator=(const THidPnPInfo&) = delete;

    DWORD DevInst() const { return devInst; }
    const std::string& DevicePath() const { return devicePath; }

    // Registry properties. Texts are single-byte text as the ANSI calls deliver it; the
    // address, bus type GUID and characteristics are read as text too, so they hold the raw
    // bytes up to the first zero byte.
    DWORD Capabilities() const { return capabilities; }
    const std::string& Class() const { return className; }
    const std::string& ClassGuid() const { return classGuid; }
    const TStringList& CompatibleIds() const { return compatibleIds; }
    DWORD ConfigFlags() const { return configFlags; }
    const std::string& DeviceDesc() const { return deviceDesc; }
    const std::string& Driver() const { return driver; }
    const std::string& FriendlyName() const { return friendlyName; }
    const TStringList& HardwareId() const { return hardwareId; }
    const TStringList& LowerFilters() const { return lowerFilters; }
    const std::string& Mfg() const { return mfg; }
    const TStringList& UpperFilters() const { return upperFilters; }
    const std::string& Address() const { return address; }
    DWORD BusNumber() const { return busNumber; }
    const std::string& BusTypeGuid() const { return busTypeGuid; }
    const std::string& Characteristics() const { return characteristics; }
    DWORD DevType() const { return devType; }
    const std::string& EnumeratorName() const { return enumeratorName; }
    DWORD Exclusive() const { return exclusive; }
    DWORD LegacyBusType() const { return legacyBusType; }
    const std::string& LocationInformation() const { return locationInformation; }
    const std::string& PhysicalDeviceObjectName() const { return physicalDeviceObjectName; }
    const std::string& SecuritySds() const { return securitySds; }
    const std::string& Service() const { return service; }
    DWORD UiNumber() const { return uiNumber; }
    // Property code 30.
    const std::string& DevicePowerData() const { return devicePowerData; }

    // Buffer sizes of the three readers.
    static constexpr DWORD kTextBufferSize = 1024;
    static constexpr DWORD kListBufferSize = 16384;

private:
    std::string ReadText(HDEVINFO set, DWORD code);
    TStringList ReadList(HDEVINFO set, DWORD code);
    DWORD ReadNumber(HDEVINFO set, DWORD code);

    SP_DEVINFO_DATA deviceInfoData{};
    DWORD devInst = 0;
    std::string devicePath;
    DWORD capabilities = 0;
    std::string className;
    std::string classGuid;
    TStringList compatibleIds;
    DWORD configFlags = 0;
    std::string deviceDesc;
    std::string driver;
    std::string friendlyName;
    TStringList hardwareId;
    TStringList lowerFilters;
    std::string mfg;
    TStringList upperFilters;
    std::string address;
    DWORD busNumber = 0;
    std::string busTypeGuid;
    std::string characteristics;
    DWORD devType = 0;
    std::string enumeratorName;
    DWORD exclusive = 0;
    DWORD legacyBusType = 0;
    std::string locationInformation;
    std::string physicalDeviceObjectName;
    std::string securitySds;
    std::string service;
    DWORD uiNumber = 0;
    std::string devicePowerData;
};

} // namespace hid
