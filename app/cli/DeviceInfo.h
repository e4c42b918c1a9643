// What the command line tells about one HID device, as a text line or a JSON object.
#pragma once

#include "hid/HidDevice.h"

#include <nlohmann/json.hpp>
#include <string>

namespace cli {

struct TDeviceInfo {
    unsigned VendorID = 0;
    unsigned ProductID = 0;
    unsigned Version = 0;
    unsigned UsagePage = 0;
    unsigned Usage = 0;
    unsigned InputReportLength = 0;
    unsigned OutputReportLength = 0;
    unsigned FeatureReportLength = 0;
    std::string Product;
    std::string Serial;
    std::string Path;
    bool IsAdapter = false;
    bool ReadWrite = false;
};

// Reads the device's identity; it must be accessible (lent, or inside a controller event).
TDeviceInfo DescribeDevice(hid::THidDevice& device);

// "0416:8249 v0100 usage FF00:0001 in 8 out 8 feature 0 product "..." serial "..." path ...",
// with " [adapter]" at the end for the adapter.
std::string FormatDevice(const TDeviceInfo& info);

nlohmann::ordered_json DeviceJson(const TDeviceInfo& info);

// JSON text with no raw control character in it (indent -1: one line).
std::string DumpJson(const nlohmann::ordered_json& json, int indent = -1);

// A device's serial number for a sentence, its control characters escaped.
std::string SerialText(const std::string& serial);

// "..." (control characters escaped, as in JSON), or "-" for a device without the text.
std::string Quoted(const std::string& text);

// "VID:PID" in upper-case hex.
std::string HexIds(unsigned vendorID, unsigned productID);

} // namespace cli
