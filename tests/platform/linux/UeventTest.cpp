#include "platform/linux/Uevent.h"

#include <gtest/gtest.h>
#include <optional>
#include <ostream>
#include <string>

namespace platform::linux_backend {
namespace {

using namespace std::string_literals;

std::optional<TUevent> Parse(const std::string& message) {
    return ParseUevent(std::span<const char>(message.data(), message.size()));
}

TEST(Uevent, ReadsTheKernelsHidrawEvent) {
    const std::string message =
        "add@/devices/pci0000:00/usb1/1-1/1-1:1.0/0003:0416:8249.0007/hidraw/hidraw3\0"
        "ACTION=add\0DEVPATH=/devices/pci0000:00/usb1/1-1/1-1:1.0/0003:0416:8249.0007/hidraw/"
        "hidraw3\0SUBSYSTEM=hidraw\0MAJOR=241\0MINOR=3\0DEVNAME=hidraw3\0SEQNUM=4711\0"s;
    const std::optional<TUevent> event = Parse(message);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->Action, "add");
    EXPECT_EQ(event->DevPath,
              "/devices/pci0000:00/usb1/1-1/1-1:1.0/0003:0416:8249.0007/hidraw/hidraw3");
    EXPECT_EQ(event->Subsystem, "hidraw");
    EXPECT_EQ(event->DevName, "hidraw3");
    EXPECT_TRUE(IsHidrawNodeChange(*event));
}

struct ChangeCase {
    std::string message;
    bool parsed;
    bool nodeChange;
};

// The message with its separating zeros as "|": one line, the same on every build.
void PrintTo(const ChangeCase& c, std::ostream* out) {
    if (c.message.empty()) {
        *out << "(empty)";
    }
    for (const char byte : c.message) {
        const auto code = static_cast<unsigned char>(byte);
        if (code == 0) {
            *out << '|';
        } else if (code >= 0x20 && code < 0x7F) {
            *out << byte;
        } else {
            constexpr char kHex[] = "0123456789ABCDEF";
            *out << '%' << kHex[code >> 4] << kHex[code & 0xF];
        }
    }
}

class UeventCases : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(UeventCases, TellWhichEventsAnnounceANodeChange) {
    const std::optional<TUevent> event = Parse(GetParam().message);
    ASSERT_EQ(event.has_value(), GetParam().parsed);
    if (event) {
        EXPECT_EQ(IsHidrawNodeChange(*event), GetParam().nodeChange);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, UeventCases,
    ::testing::Values(
        ChangeCase{"remove@/devices/x/hidraw/hidraw0\0ACTION=remove\0SUBSYSTEM=hidraw\0"s, true,
                   true},
        ChangeCase{"change@/devices/x/hidraw/hidraw0\0ACTION=change\0SUBSYSTEM=hidraw\0"s, true,
                   false},
        ChangeCase{"add@/devices/x/1-1\0ACTION=add\0SUBSYSTEM=usb\0"s, true, false},
        ChangeCase{"bind@/devices/x/0003:0416:8249.0001\0ACTION=bind\0SUBSYSTEM=hid\0"s, true,
                   false},
        // udevd's own messages start with a binary header.
        ChangeCase{"libudev\0\xfe\xed\xca\xfe"s, false, false},
        ChangeCase{"add@/devices/x\0ACTION=remove\0SUBSYSTEM=hidraw\0"s, false, false},
        ChangeCase{"add@/devices/x\0ACTION=add\0DEVPATH=/devices/y\0SUBSYSTEM=hidraw\0"s, false,
                   false},
        ChangeCase{"add@/devices/x\0SUBSYSTEM=hidraw\0"s, false, false},
        ChangeCase{"@/devices/x\0ACTION=\0"s, false, false},
        ChangeCase{"add@devices\0ACTION=add\0"s, false, false}, ChangeCase{""s, false, false},
        // No terminating zero on the last field: still read to the end.
        ChangeCase{"add@/d/hidraw1\0ACTION=add\0SUBSYSTEM=hidraw"s, true, true}));

} // namespace
} // namespace platform::linux_backend
