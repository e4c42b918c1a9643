#include "LinuxServicesFixture.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <ostream>
#include <string>
#include <sys/stat.h>

namespace platform::linux_backend::testing {
namespace {

class Identification : public LinuxServicesTest {
protected:
    // A string call's text, or none when it failed.
    std::optional<std::u16string> String(HANDLE handle, TLinuxServices::TStringKind kind) {
        char16_t buffer[254] = {};
        if (!Linux().HidD_GetString(kind, handle, buffer, sizeof buffer)) {
            return std::nullopt;
        }
        return std::u16string(buffer);
    }

    HIDP_CAPS Caps(HANDLE handle) {
        PHIDP_PREPARSED_DATA data = nullptr;
        HIDP_CAPS caps{};
        EXPECT_TRUE(Linux().HidD_GetPreparsedData(handle, &data));
        EXPECT_EQ(Linux().HidP_GetCaps(data, &caps), HIDP_STATUS_SUCCESS);
        EXPECT_TRUE(Linux().HidD_FreePreparsedData(data));
        return caps;
    }
};

using Kind = TLinuxServices::TStringKind;

TEST_F(Identification, WorksThroughAQueryOnlyHandle) {
    const unsigned node = Tree().Plug();
    const HANDLE handle = Open(node, 0);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);

    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof attributes;
    ASSERT_TRUE(Linux().HidD_GetAttributes(handle, &attributes));
    EXPECT_EQ(attributes.VendorID, 0x0416);
    EXPECT_EQ(attributes.ProductID, 0x8249);
    EXPECT_EQ(attributes.VersionNumber, 0x0100);

    EXPECT_EQ(String(handle, Kind::Manufacturer), u"ZEM");
    EXPECT_EQ(String(handle, Kind::Product), u"VUZ Device");
    EXPECT_EQ(String(handle, Kind::SerialNumber), u"A1B2C3");

    const HIDP_CAPS caps = Caps(handle);
    EXPECT_EQ(caps.InputReportByteLength, 8);
    EXPECT_EQ(caps.OutputReportByteLength, 8);
    EXPECT_EQ(caps.FeatureReportByteLength, 0);
    EXPECT_EQ(caps.UsagePage, 0xFF00);

    // No data through a query-only handle.
    const BYTE report[8] = {5, 0, 2};
    DWORD written = 99;
    EXPECT_FALSE(Linux().WriteFile(handle, report, sizeof report, &written, nullptr));
    EXPECT_EQ(Linux().GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(Linux().CloseHandle(handle));
}

// Strings come from sysfs, so no serial can be a copy of the language list; there is no list
// to give, and none is made up that a real serial could be mistaken for.
TEST_F(Identification, GivesNoLanguageListSoARealSerialIsKept) {
    TFakeDevice device;
    device.Serial = "\u0409"
                    "123";
    const unsigned node = Tree().Plug(device);
    const HANDLE handle = Open(node, GENERIC_READ | GENERIC_WRITE);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    char16_t languages[254];
    std::fill(std::begin(languages), std::end(languages), char16_t{0xFFFF});
    EXPECT_FALSE(Linux().HidD_GetIndexedString(handle, 0, languages, sizeof languages));
    EXPECT_EQ(Linux().GetLastError(), 50u); // ERROR_NOT_SUPPORTED
    EXPECT_EQ(languages[0], 0xFFFF);

    char16_t serial[254] = {};
    ASSERT_TRUE(Linux().HidD_GetIndexedString(handle, 3, serial, sizeof serial));
    EXPECT_EQ(std::u16string(serial), u"\u0409"
                                      u"123");
    EXPECT_FALSE(Linux().HidD_GetIndexedString(handle, 9, serial, sizeof serial));
    EXPECT_EQ(Linux().GetLastError(), ERROR_GEN_FAILURE);
    Linux().CloseHandle(handle);
}

TEST_F(Identification, FailsForStringsTheDeviceDoesNotHave) {
    TFakeDevice device;
    device.Serial.reset();
    device.Manufacturer.reset();
    const unsigned node = Tree().Plug(device);
    const HANDLE handle = Open(node, 0);
    EXPECT_EQ(String(handle, Kind::SerialNumber), std::nullopt);
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(String(handle, Kind::Manufacturer), std::nullopt);
    EXPECT_EQ(String(handle, Kind::Product), u"VUZ Device");
    Linux().CloseHandle(handle);
}

TEST_F(Identification, TakesNameAndUniqueIdOfBluetoothDevices) {
    TFakeDevice device;
    device.Bus = 5;
    device.HidName = "Magic Keyboard";
    device.Uniq = "a4:83:e7:00:11:22";
    const unsigned node = Tree().Plug(device);
    const HANDLE handle = Open(node, 0);
    HIDD_ATTRIBUTES attributes{};
    ASSERT_TRUE(Linux().HidD_GetAttributes(handle, &attributes));
    EXPECT_EQ(attributes.VersionNumber, 0);
    EXPECT_EQ(String(handle, Kind::Product), u"Magic Keyboard");
    EXPECT_EQ(String(handle, Kind::SerialNumber), u"a4:83:e7:00:11:22");
    EXPECT_EQ(String(handle, Kind::Manufacturer), std::nullopt);
    Linux().CloseHandle(handle);
}

// An I2C touchpad behind a USB-to-I2C bridge: the USB device above it is the bridge, whose
// identity is not the touchpad's.
TEST_F(Identification, KeepsANonUsbDeviceBelowAUsbBridgeApartFromTheBridge) {
    TFakeDevice touchpad;
    touchpad.Bus = 0x18; // I2C
    touchpad.VendorID = 0x06CB;
    touchpad.ProductID = 0xCD7D;
    touchpad.HidName = "SYNA3602:00 06CB:CD7D Touchpad";
    touchpad.BelowUsbBridge = true;
    const unsigned node = Tree().Plug(touchpad);
    const HANDLE handle = Open(node, 0);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    HIDD_ATTRIBUTES attributes{};
    ASSERT_TRUE(Linux().HidD_GetAttributes(handle, &attributes));
    EXPECT_EQ(attributes.VendorID, 0x06CB);
    EXPECT_EQ(attributes.ProductID, 0xCD7D);
    EXPECT_EQ(attributes.VersionNumber, 0);
    EXPECT_EQ(String(handle, Kind::Product), u"SYNA3602:00 06CB:CD7D Touchpad");
    EXPECT_EQ(String(handle, Kind::Manufacturer), std::nullopt);
    EXPECT_EQ(String(handle, Kind::SerialNumber), std::nullopt);
    Linux().CloseHandle(handle);
}

TEST_F(Identification, HandsStringsOutAsUtf16AndCutsThemToTheBuffer) {
    TFakeDevice device;
    device.Product = "Ger\xC3\xA4t \xE2\x82\xAC";
    const unsigned node = Tree().Plug(device);
    const HANDLE handle = Open(node, 0);
    EXPECT_EQ(String(handle, Kind::Product), u"Ger\u00E4t \u20AC");
    char16_t small[3] = {u'x', u'x', u'x'};
    ASSERT_TRUE(Linux().HidD_GetString(Kind::Product, handle, small, sizeof small));
    EXPECT_EQ(std::u16string(small, 3), u"Ger");
    Linux().CloseHandle(handle);
}

TEST_F(Identification, ReportsZeroLengthsForAMalformedDescriptor) {
    TFakeDevice device;
    device.Descriptor = {0x06, 0x00, 0xFF, 0xA1, 0x01, 0x85, 0x00};
    const unsigned node = Tree().Plug(device);
    const HANDLE handle = Open(node, 0);
    const HIDP_CAPS caps = Caps(handle);
    EXPECT_EQ(caps.InputReportByteLength, 0);
    EXPECT_EQ(caps.OutputReportByteLength, 0);
    Linux().CloseHandle(handle);
}

TEST_F(Identification, FailsWithDeviceNotConnectedOnceTheNodeHasGone) {
    const unsigned node = Tree().Plug();
    const HANDLE handle = Open(node, 0);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    Tree().Unplug(node);
    HIDD_ATTRIBUTES attributes{};
    EXPECT_FALSE(Linux().HidD_GetAttributes(handle, &attributes));
    EXPECT_EQ(Linux().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);

    // Another device that took the same node name is not the one the handle was opened on.
    TFakeDevice other;
    other.ProductID = 0x1234;
    Tree().Plug(other, node);
    EXPECT_FALSE(Linux().HidD_GetAttributes(handle, &attributes));
    EXPECT_EQ(Linux().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_TRUE(Linux().CloseHandle(handle));
}

TEST_F(Identification, QueryOnlyOpenWorksWhereDataOpensFail) {
    TFakeDevice device;
    device.Unopenable = true;
    const unsigned node = Tree().Plug(device);
    EXPECT_EQ(Open(node, GENERIC_READ | GENERIC_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_NE(Linux().GetLastError(), ERROR_SUCCESS);
    const HANDLE handle = Open(node, 0);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    HIDD_ATTRIBUTES attributes{};
    EXPECT_TRUE(Linux().HidD_GetAttributes(handle, &attributes));
    EXPECT_TRUE(Linux().CloseHandle(handle));
}

// Without the udev rule the node belongs to root alone; a plain user is refused data
// access but can still identify the device.
TEST_F(Identification, NodeWithoutPermissionOpensQueryOnly) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not apply to root";
    }
    const unsigned node = Tree().Plug();
    const std::string target = std::filesystem::read_symlink(Tree().NodePath(node)).string();
    ASSERT_EQ(chmod(target.c_str(), 0), 0);
    EXPECT_EQ(Open(node, GENERIC_READ | GENERIC_WRITE), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Linux().GetLastError(), ERROR_ACCESS_DENIED);
    const HANDLE handle = Open(node, 0);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    Linux().CloseHandle(handle);
}

struct OpenCase {
    const char* name;
    std::string path; // below the tree root; "@" is the node path
    DWORD disposition;
    DWORD error;
};

void PrintTo(const OpenCase& c, std::ostream* out) {
    *out << c.name;
}

class OpenFailures : public LinuxServicesTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenFailures, SetThePlatformError) {
    const unsigned node = Tree().Plug();
    const std::string path =
        GetParam().path == "@" ? Tree().NodePath(node) : Tree().Root() + GetParam().path;
    EXPECT_EQ(Linux().CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 3, nullptr,
                                  GetParam().disposition, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(Linux().GetLastError(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Cases, OpenFailures,
                         ::testing::Values(OpenCase{"no such node", "/dev/hidraw9", OPEN_EXISTING,
                                                    ERROR_FILE_NOT_FOUND},
                                           OpenCase{"not a hidraw node", "/dev/tty0", OPEN_EXISTING,
                                                    ERROR_FILE_NOT_FOUND},
                                           OpenCase{"outside the dev root", "/sys/hidraw0",
                                                    OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
                                           OpenCase{"creating", "@", 1, ERROR_INVALID_PARAMETER}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

TEST_F(Identification, RejectsUnknownHandles) {
    const HANDLE bogus = reinterpret_cast<HANDLE>(0x777);
    HIDD_ATTRIBUTES attributes{};
    EXPECT_FALSE(Linux().HidD_GetAttributes(bogus, &attributes));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(Linux().CloseHandle(bogus));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_HANDLE);
    PHIDP_PREPARSED_DATA data = reinterpret_cast<PHIDP_PREPARSED_DATA>(0x888);
    HIDP_CAPS caps{};
    EXPECT_EQ(Linux().HidP_GetCaps(data, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
    EXPECT_FALSE(Linux().HidD_FreePreparsedData(data));
}

TEST_F(Identification, KeepsTheInputBufferCountPerHandleWithinThePlatformsRange) {
    const unsigned node = Tree().Plug();
    const HANDLE handle = Open(node, GENERIC_READ | GENERIC_WRITE);
    ULONG count = 0;
    ASSERT_TRUE(Linux().HidD_GetNumInputBuffers(handle, &count));
    EXPECT_EQ(count, 64u);
    EXPECT_FALSE(Linux().HidD_SetNumInputBuffers(handle, 1));
    EXPECT_EQ(Linux().GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(Linux().HidD_SetNumInputBuffers(handle, 200));
    ASSERT_TRUE(Linux().HidD_GetNumInputBuffers(handle, &count));
    EXPECT_EQ(count, 200u);
    Linux().CloseHandle(handle);
}

} // namespace
} // namespace platform::linux_backend::testing
