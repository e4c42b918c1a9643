// Report lengths from a HID report descriptor, counted as the platform's HID class driver
// counts them for HIDP_CAPS: per kind, the largest report in bytes plus one byte for the
// report ID, which the driver adds whether or not the device uses report IDs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform::linux_backend {

struct TReportLengths {
    std::uint16_t UsagePage = 0; // of the first top-level collection
    std::uint16_t Usage = 0;
    std::uint16_t Input = 0;
    std::uint16_t Output = 0;
    std::uint16_t Feature = 0;
    // Whether reports start with a report ID byte; hidraw hands reports of a device without
    // report IDs over without the leading byte the lengths count.
    bool ReportIds = false;
    bool Valid = false; // false: the descriptor is malformed and every length is 0
};

// Parses descriptor. Uses a fixed amount of memory whatever the input; a malformed
// descriptor (truncated item, report ID 0, unbalanced push/pop or collections, a report
// longer than a 16-bit byte count) yields all zeros.
TReportLengths ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

// The kernel's limit for a report descriptor (HID_MAX_DESCRIPTOR_SIZE).
inline constexpr std::size_t kMaxReportDescriptorSize = 4096;

} // namespace platform::linux_backend
