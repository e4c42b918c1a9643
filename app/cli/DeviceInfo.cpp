#include "app/cli/DeviceInfo.h"

#include "app/core/AdapterIdentity.h"
#include "app/core/DeviceText.h"
#include "app/core/Utf8.h"

#include <array>
#include <cstdio>

namespace cli {

namespace {

std::string Hex4(unsigned value) {
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "%04X", value & 0xFFFFu);
    return text.data();
}

nlohmann::ordered_json OptionalText(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

} // namespace

std::string Quoted(const std::string& text) {
    if (text.empty()) {
        return "-";
    }
    return app::EscapeControls(text, app::TQuoting::Json);
}

std::string SerialText(const std::string& serial) {
    return app::EscapeControls(serial);
}

std::string DumpJson(const nlohmann::ordered_json& json, int indent) {
    // The dump escapes C0 controls inside its strings, not DEL and C1 controls; the line
    // breaks between its lines are its own.
    const std::string dump =
        json.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
    std::string text;
    std::size_t start = 0;
    for (std::size_t end = dump.find('\n'); end != std::string::npos;
         start = end + 1, end = dump.find('\n', start)) {
        text += app::EscapeControls(std::string_view(dump).substr(start, end - start)) + '\n';
    }
    return text + app::EscapeControls(std::string_view(dump).substr(start));
}

std::string HexIds(unsigned vendorID, unsigned productID) {
    return Hex4(vendorID) + ":" + Hex4(productID);
}

TDeviceInfo DescribeDevice(hid::THidDevice& device) {
    TDeviceInfo info;
    const HIDD_ATTRIBUTES& attributes = device.Attributes();
    info.VendorID = attributes.VendorID;
    info.ProductID = attributes.ProductID;
    info.Version = attributes.VersionNumber;
    const HIDP_CAPS caps = device.Caps();
    info.UsagePage = caps.UsagePage;
    info.Usage = caps.Usage;
    info.InputReportLength = caps.InputReportByteLength;
    info.OutputReportLength = caps.OutputReportByteLength;
    info.FeatureReportLength = caps.FeatureReportByteLength;
    info.Product = app::ToUtf8(device.ProductName());
    info.Serial = app::ToUtf8(device.SerialNumber());
    info.Path = device.PnPInfo().DevicePath();
    info.IsAdapter = app::IsAdapter(device);
    info.ReadWrite = device.HasReadWriteAccess();
    return info;
}

std::string FormatDevice(const TDeviceInfo& info) {
    std::string line = HexIds(info.VendorID, info.ProductID);
    line += " v" + Hex4(info.Version);
    line += " usage " + Hex4(info.UsagePage) + ":" + Hex4(info.Usage);
    line += " in " + std::to_string(info.InputReportLength);
    line += " out " + std::to_string(info.OutputReportLength);
    line += " feature " + std::to_string(info.FeatureReportLength);
    line += " product " + Quoted(info.Product);
    line += " serial " + Quoted(info.Serial);
    line += " path " + app::EscapeControls(info.Path);
    if (info.IsAdapter) {
        line += " [adapter]";
    }
    return line;
}

nlohmann::ordered_json DeviceJson(const TDeviceInfo& info) {
    return {
        {"vendorId", info.VendorID},
        {"productId", info.ProductID},
        {"version", info.Version},
        {"usagePage", info.UsagePage},
        {"usage", info.Usage},
        {"inputReportLength", info.InputReportLength},
        {"outputReportLength", info.OutputReportLength},
        {"featureReportLength", info.FeatureReportLength},
        {"product", OptionalText(info.Product)},
        {"serial", OptionalText(info.Serial)},
        {"path", info.Path},
        {"adapter", info.IsAdapter},
    };
}

} // namespace cli
