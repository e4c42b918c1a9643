#include "platform/linux/ReportDescriptor.h"

#include "FakeHidTree.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace platform::linux_backend {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct DescriptorCase {
    const char* name;
    Bytes descriptor;
    std::uint16_t input;
    std::uint16_t output;
    std::uint16_t feature;
    std::uint16_t usagePage;
    std::uint16_t usage;
};

void PrintTo(const DescriptorCase& c, std::ostream* out) {
    *out << c.name;
}

// The boot keyboard of the HID specification: modifiers, a reserved byte, six key codes in;
// five LEDs and padding out.
const Bytes kKeyboard = testing::BootKeyboardDescriptor();

// The boot mouse: three buttons, padding, X and Y, in a physical collection.
const Bytes kMouse = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
                      0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,
                      0x95, 0x01, 0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15,
                      0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};

// Vendor-defined, no report IDs, 64 bytes each way.
const Bytes kNoReportIds = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00,
                            0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01,
                            0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0};

// Consumer control with three reports: ID 1 (2 bytes in), ID 2 (10 bytes in), ID 3 (4 bytes
// feature). The longest of each kind counts.
const Bytes kMultipleIds = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08,
                            0x95, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x09, 0x01, 0x81,
                            0x02, 0x85, 0x02, 0x95, 0x0A, 0x09, 0x01, 0x81, 0x02, 0x85,
                            0x03, 0x95, 0x04, 0x09, 0x01, 0xB1, 0x02, 0xC0};

// The adapter's descriptor with a long item (3 bytes of data) after the report ID.
Bytes WithLongItem() {
    Bytes bytes = testing::AdapterDescriptor();
    const Bytes longItem = {0xFE, 0x03, 0x10, 0xAA, 0xBB, 0xCC};
    bytes.insert(bytes.begin() + 9, longItem.begin(), longItem.end());
    return bytes;
}

// Push saves a count of 4, the input uses 16, pop restores 4 for the output.
const Bytes kPushPop = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x04, 0xA4,
                        0x95, 0x10, 0x09, 0x01, 0x81, 0x02, 0xB4, 0x09, 0x01, 0x91, 0x02, 0xC0};

// A usage with its page in the item (4 bytes) rather than from Usage Page.
const Bytes kExtendedUsage = {0x0B, 0x02, 0x00, 0x01, 0x00, 0xA1, 0x01,
                              0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0};

// The boot keyboard's top-level usage given before its page; the page in effect at the
// collection completes it.
const Bytes kPageAfterUsage = {0x09, 0x06, 0x05, 0x01, 0xA1, 0x01, 0x75,
                               0x08, 0x95, 0x08, 0x81, 0x02, 0xC0};

// A page changed between a usage and its collection: consumer control, not vendor-defined.
const Bytes kPageChangedBeforeCollection = {0x06, 0x00, 0xFF, 0x09, 0x01, 0x05, 0x0C, 0xA1,
                                            0x01, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xC0};

// An extended usage carries its own page whatever the Usage Page says later.
const Bytes kExtendedUsageThenPage = {0x0B, 0x02, 0x00, 0x01, 0x00, 0x05, 0x0C, 0xA1,
                                      0x01, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0};

class ReportLengths : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(ReportLengths, CountTheLargestReportOfEachKindPlusTheIdByte) {
    const DescriptorCase& c = GetParam();
    const TReportLengths lengths = ParseReportDescriptor(c.descriptor);
    EXPECT_TRUE(lengths.Valid);
    EXPECT_EQ(lengths.Input, c.input);
    EXPECT_EQ(lengths.Output, c.output);
    EXPECT_EQ(lengths.Feature, c.feature);
    EXPECT_EQ(lengths.UsagePage, c.usagePage);
    EXPECT_EQ(lengths.Usage, c.usage);
}

INSTANTIATE_TEST_SUITE_P(
    RealWorld, ReportLengths,
    ::testing::Values(DescriptorCase{"keyboard", kKeyboard, 9, 2, 0, 0x01, 0x06},
                      DescriptorCase{"mouse", kMouse, 4, 0, 0, 0x01, 0x02},
                      DescriptorCase{"adapter", testing::AdapterDescriptor(), 8, 8, 0, 0xFF00, 1},
                      DescriptorCase{"no report IDs", kNoReportIds, 65, 65, 0, 0xFF00, 1},
                      DescriptorCase{"multiple IDs", kMultipleIds, 11, 0, 5, 0x0C, 1},
                      DescriptorCase{"long item", WithLongItem(), 8, 8, 0, 0xFF00, 1},
                      DescriptorCase{"push and pop", kPushPop, 17, 5, 0, 0xFF00, 1},
                      DescriptorCase{"extended usage", kExtendedUsage, 2, 0, 0, 0x01, 0x02},
                      DescriptorCase{"page after usage", kPageAfterUsage, 9, 0, 0, 0x01, 0x06},
                      DescriptorCase{"page changed before collection", kPageChangedBeforeCollection,
                                     3, 0, 0, 0x0C, 0x01},
                      DescriptorCase{"extended usage then page", kExtendedUsageThenPage, 2, 0, 0,
                                     0x01, 0x02},
                      DescriptorCase{"empty", {}, 0, 0, 0, 0, 0}));

// hidraw hands reports over as the device sends them: with a leading ID byte only when the
// descriptor declares report IDs.
TEST(ReportDescriptorIds, TellWhetherReportsStartWithAnId) {
    EXPECT_TRUE(ParseReportDescriptor(testing::AdapterDescriptor()).ReportIds);
    EXPECT_TRUE(ParseReportDescriptor(kMultipleIds).ReportIds);
    EXPECT_FALSE(ParseReportDescriptor(kKeyboard).ReportIds);
    EXPECT_FALSE(ParseReportDescriptor(kNoReportIds).ReportIds);
}

struct MalformedCase {
    const char* name;
    Bytes descriptor;
};

void PrintTo(const MalformedCase& c, std::ostream* out) {
    *out << c.name;
}

class MalformedDescriptor : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedDescriptor, GivesZeroLengths) {
    const TReportLengths lengths = ParseReportDescriptor(GetParam().descriptor);
    EXPECT_FALSE(lengths.Valid);
    EXPECT_EQ(lengths.Input, 0);
    EXPECT_EQ(lengths.Output, 0);
    EXPECT_EQ(lengths.Feature, 0);
}

Bytes Repeated(std::uint8_t item, std::size_t times) {
    return Bytes(times, item);
}

Bytes Truncated(Bytes bytes, std::size_t drop) {
    bytes.resize(bytes.size() - drop);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedDescriptor,
    ::testing::Values(
        MalformedCase{"item data cut off", {0x05, 0x01, 0x09}},
        MalformedCase{"four-byte item cut off", {0x07, 0x01, 0x02}},
        MalformedCase{"collection left open", Truncated(testing::AdapterDescriptor(), 1)},
        MalformedCase{"end without collection", {0xC0}},
        MalformedCase{"report ID 0",
                      {0xA1, 0x01, 0x85, 0x00, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0xC0}},
        MalformedCase{"pop without push", {0xB4}},
        MalformedCase{"push too deep", Repeated(0xA4, 17)},
        MalformedCase{"collections too deep", Repeated(0xA0, 65)},
        MalformedCase{"long item cut off", {0xFE, 0x05, 0x00, 0x01}},
        MalformedCase{"long item header cut off", {0xFE, 0x01}},
        MalformedCase{"report longer than 64 KiB",
                      {0xA1, 0x01, 0x75, 0xFF, 0x96, 0xFF, 0xFF, 0x81, 0x02, 0xC0}},
        MalformedCase{"reports adding up past 64 KiB",
                      {0xA1, 0x01, 0x75, 0x80, 0x96, 0x00, 0x02, 0x81, 0x02, 0x81, 0x02, 0x81,
                       0x02, 0x81, 0x02, 0x81, 0x02, 0x81, 0x02, 0x81, 0x02, 0x81, 0x02, 0xC0}}));

// Push depth and collections within the limits are fine, so the limits reject only
// descriptors no device has.
TEST(ReportDescriptorLimits, AcceptNestingWithinBounds) {
    Bytes bytes = Repeated(0xA4, 16);
    const Bytes pops = Repeated(0xB4, 16);
    bytes.insert(bytes.end(), pops.begin(), pops.end());
    EXPECT_TRUE(ParseReportDescriptor(bytes).Valid);
}

} // namespace
} // namespace platform::linux_backend
