#include "platform/linux/ReportDescriptor.h"

#include <array>

namespace platform::linux_backend {

namespace {

enum TItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2, kReserved = 3 };

enum TMainTag : std::uint8_t {
    kInput = 0x8,
    kOutput = 0x9,
    kCollection = 0xA,
    kFeature = 0xB,
    kEndCollection = 0xC
};

enum TGlobalTag : std::uint8_t {
    kUsagePage = 0x0,
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB
};

constexpr std::uint8_t kLocalUsage = 0x0;
constexpr std::uint8_t kLongItem = 0xFE;
constexpr std::uint32_t kApplicationCollection = 0x01;
// Deeper nesting than any real device uses; bounds the parser's state.
constexpr int kMaxPushDepth = 16;
constexpr int kMaxCollectionDepth = 64;
// A report the driver could describe: its length with the ID byte fits 16 bits.
constexpr std::uint64_t kMaxReportBits = (0xFFFFull - 1) * 8;

struct TGlobals {
    std::uint32_t usagePage = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

enum TKind { kInputKind, kOutputKind, kFeatureKind, kKinds };

std::uint32_t Unsigned(std::span<const std::uint8_t> data) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    }
    return value;
}

std::uint16_t Bytes(std::uint64_t bits) {
    return bits == 0 ? 0 : static_cast<std::uint16_t>((bits + 7) / 8 + 1);
}

} // namespace

TReportLengths ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
    // Bits per report ID and kind; ID 0 stands for "no report ID".
    std::array<std::array<std::uint64_t, 256>, kKinds> bits{};
    std::array<TGlobals, kMaxPushDepth> stack{};
    int depth = 0;
    TGlobals globals;
    // The first usage since the last main item; a short one gets its page at the main item.
    std::uint32_t usage = 0;
    bool usageHasPage = false;
    bool haveUsage = false;
    int collections = 0;
    bool haveTopLevel = false;
    TReportLengths result;

    std::size_t at = 0;
    while (at < descriptor.size()) {
        const std::uint8_t prefix = descriptor[at];
        if (prefix == kLongItem) {
            // Long items carry no report layout; skip them whole.
            if (at + 3 > descriptor.size()) {
                return {};
            }
            const std::size_t size = descriptor[at + 1];
            if (at + 3 + size > descriptor.size()) {
                return {};
            }
            at += 3 + size;
            continue;
        }
        static constexpr std::size_t kSizes[] = {0, 1, 2, 4};
        const std::size_t size = kSizes[prefix & 0x3];
        const auto type = static_cast<TItemType>((prefix >> 2) & 0x3);
        const std::uint8_t tag = prefix >> 4;
        if (at + 1 + size > descriptor.size()) {
            return {};
        }
        const std::uint32_t value = Unsigned(descriptor.subspan(at + 1, size));
        at += 1 + size;

        switch (type) {
        case kMain: {
            int kind = -1;
            switch (tag) {
            case kInput:
                kind = kInputKind;
                break;
            case kOutput:
                kind = kOutputKind;
                break;
            case kFeature:
                kind = kFeatureKind;
                break;
            case kCollection:
                if (collections == 0 && !haveTopLevel && value == kApplicationCollection) {
                    haveTopLevel = true;
                    result.UsagePage = static_cast<std::uint16_t>(
                        haveUsage && usageHasPage ? usage >> 16 : globals.usagePage & 0xFFFF);
                    result.Usage = static_cast<std::uint16_t>(haveUsage ? usage & 0xFFFF : 0);
                }
                if (++collections > kMaxCollectionDepth) {
                    return {};
                }
                break;
            case kEndCollection:
                if (--collections < 0) {
                    return {};
                }
                break;
            default:
                break;
            }
            if (kind >= 0) {
                std::uint64_t& total = bits[kind][globals.reportId];
                total += static_cast<std::uint64_t>(globals.reportSize) * globals.reportCount;
                if (total > kMaxReportBits) {
                    return {};
                }
            }
            usage = 0;
            usageHasPage = false;
            haveUsage = false;
            break;
        }
        case kGlobal:
            switch (tag) {
            case kUsagePage:
                globals.usagePage = value;
                break;
            case kReportSize:
                globals.reportSize = value;
                break;
            case kReportCount:
                globals.reportCount = value;
                break;
            case kReportId:
                if (value == 0 || value > 0xFF) {
                    return {};
                }
                globals.reportId = value;
                result.ReportIds = true;
                break;
            case kPush:
                if (depth == kMaxPushDepth) {
                    return {};
                }
                stack[depth++] = globals;
                break;
            case kPop:
                if (depth == 0) {
                    return {};
                }
                globals = stack[--depth];
                break;
            default:
                break;
            }
            break;
        case kLocal:
            if (tag == kLocalUsage && !haveUsage) {
                // A short usage takes its page from the Usage Page in effect at the main item,
                // which may still change after the usage.
                usage = value;
                usageHasPage = size == 4;
                haveUsage = true;
            }
            break;
        case kReserved:
            break;
        }
    }
    if (collections != 0) {
        return {};
    }

    std::uint64_t largest[kKinds] = {};
    for (int kind = 0; kind < kKinds; ++kind) {
        for (const std::uint64_t total : bits[kind]) {
            if (total > largest[kind]) {
                largest[kind] = total;
            }
        }
    }
    result.Input = Bytes(largest[kInputKind]);
    result.Output = Bytes(largest[kOutputKind]);
    result.Feature = Bytes(largest[kFeatureKind]);
    result.Valid = true;
    return result;
}

} // namespace platform::linux_backend
