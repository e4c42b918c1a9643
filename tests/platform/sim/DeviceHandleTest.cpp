#include "tests/platform/sim/SimBusFixture.h"
#include "tests/platform/sim/SimModules.h"

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace platform::sim::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

class DeviceHandleTest : public SimBusTest {
protected:
    TSimModules modules{Bus()};
};

// --- Opening -----------------------------------------------------------------------------

struct TOpenCase {
    const char* name;
    TSimAccess access;
    DWORD openError;
    DWORD desired;
    DWORD flags;
    DWORD error; // 0: opens
};

void PrintTo(const TOpenCase& c, std::ostream* out) {
    *out << c.name;
}

class OpenTest : public DeviceHandleTest, public ::testing::WithParamInterface<TOpenCase> {};

TEST_P(OpenTest, DeviceAccessDecidesWhichOpensSucceed) {
    const TOpenCase& c = GetParam();
    TSimDeviceConfig config;
    config.Access = c.access;
    config.OpenError = c.openError;
    const TSimDeviceId device = Bus().Plug(config);

    const HANDLE handle = OpenDevice(Bus(), Bus().DevicePath(device), c.desired, c.flags);
    if (c.error == 0) {
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Bus().OpenHandleCount(device), 1u);
        EXPECT_TRUE(Bus().CloseHandle(handle));
    } else {
        EXPECT_EQ(handle, INVALID_HANDLE_VALUE);
        EXPECT_EQ(Bus().GetLastError(), c.error);
    }
    EXPECT_EQ(Bus().OpenHandleCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Access, OpenTest,
    ::testing::Values(TOpenCase{"ReadWriteGeneral", TSimAccess::ReadWrite, 0, kReadWrite, 0, 0},
                      TOpenCase{"ReadWriteQuery", TSimAccess::ReadWrite, 0, 0, 0, 0},
                      TOpenCase{"ReadWriteOverlappedRead", TSimAccess::ReadWrite, 0, GENERIC_READ,
                                FILE_FLAG_OVERLAPPED, 0},
                      TOpenCase{"ReadWriteOverlappedWrite", TSimAccess::ReadWrite, 0, GENERIC_WRITE,
                                FILE_FLAG_OVERLAPPED, 0},
                      TOpenCase{"QueryOnlyGeneral", TSimAccess::QueryOnly, 0, kReadWrite, 0,
                                ERROR_ACCESS_DENIED},
                      TOpenCase{"QueryOnlyRead", TSimAccess::QueryOnly, 0, GENERIC_READ,
                                FILE_FLAG_OVERLAPPED, ERROR_ACCESS_DENIED},
                      TOpenCase{"QueryOnlyQuery", TSimAccess::QueryOnly, 0, 0, 0, 0},
                      TOpenCase{"UnopenableQuery", TSimAccess::Unopenable, ERROR_ACCESS_DENIED, 0,
                                0, ERROR_ACCESS_DENIED},
                      TOpenCase{"UnopenableOwnError", TSimAccess::Unopenable, ERROR_GEN_FAILURE,
                                kReadWrite, 0, ERROR_GEN_FAILURE}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceHandleTest, PathsCompareCaseInsensitivelyAndOnlyPresentDevicesOpen) {
    const TSimDeviceId device = Bus().Plug();
    std::string upper = Bus().DevicePath(device);
    std::ranges::transform(upper, upper.begin(), [](char c) {
        return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    });
    const HANDLE handle = OpenDevice(Bus(), upper);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    Bus().CloseHandle(handle);

    EXPECT_EQ(OpenDevice(Bus(), "\\\\?\\hid#nothing"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Bus().GetLastError(), ERROR_FILE_NOT_FOUND);
    Bus().Unplug(device);
    EXPECT_EQ(OpenDevice(Bus(), Bus().DevicePath(device)), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Bus().GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(DeviceHandleTest, AnOpenThatDoesNotShareLocksOthersOut) {
    const std::string path = Bus().DevicePath(Bus().Plug());
    const HANDLE exclusive =
        Bus().CreateFileA(path.c_str(), kReadWrite, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenDevice(Bus(), path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Bus().GetLastError(), 32u); // ERROR_SHARING_VIOLATION
    // Query access touches no data and is never locked out.
    const HANDLE query = OpenDevice(Bus(), path, 0);
    EXPECT_NE(query, INVALID_HANDLE_VALUE);
    Bus().CloseHandle(query);
    Bus().CloseHandle(exclusive);
}

TEST_F(DeviceHandleTest, HandlesAreCountedPerDevice) {
    const TSimDeviceId a = Bus().Plug();
    const TSimDeviceId b = Bus().Plug();
    const HANDLE a1 = OpenDevice(Bus(), Bus().DevicePath(a));
    const HANDLE a2 = OpenDevice(Bus(), Bus().DevicePath(a), GENERIC_READ, FILE_FLAG_OVERLAPPED);
    EXPECT_EQ(Bus().OpenHandleCount(a), 2u);
    EXPECT_EQ(Bus().OpenHandleCount(b), 0u);
    const auto handleLeaks = [this] {
        return std::ranges::count_if(
            Bus().Leaks(), [](const std::string& leak) { return leak.starts_with("handle "); });
    };
    EXPECT_EQ(handleLeaks(), 2);
    Bus().CloseHandle(a1);
    Bus().CloseHandle(a2);
    EXPECT_EQ(handleLeaks(), 0);
    EXPECT_EQ(Bus().OpenHandleCount(), 0u);
}

TEST_F(DeviceHandleTest, HandleUsedAfterCloseIsMisuse) {
    const HANDLE handle = OpenDevice(Bus(), Bus().DevicePath(Bus().Plug()));
    ASSERT_TRUE(Bus().CloseHandle(handle));
    EXPECT_FALSE(Bus().CloseHandle(handle));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INVALID_HANDLE);
    HIDD_ATTRIBUTES attributes{};
    EXPECT_FALSE(modules.GetAttributes(handle, &attributes));
    EXPECT_THAT(TakeViolations(), ElementsAre(HasSubstr("CloseHandle: handle"),
                                              HasSubstr("HidD_GetAttributes: handle")));
}

TEST_F(DeviceHandleTest, UnplugLeavesHandlesValidButTheirIoFails) {
    const TSimDeviceId device = Bus().Plug();
    const HANDLE handle = OpenDevice(Bus(), Bus().DevicePath(device));
    Bus().Unplug(device);

    HIDD_ATTRIBUTES attributes{};
    EXPECT_FALSE(modules.GetAttributes(handle, &attributes));
    EXPECT_EQ(Bus().GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_TRUE(Bus().CloseHandle(handle));
}

// --- Identification ------------------------------------------------------------------------

TEST_F(DeviceHandleTest, AttributesComeFromTheDeviceAlsoOnAQueryHandle) {
    TSimDeviceConfig config;
    config.VendorID = 0x1234;
    config.ProductID = 0x5678;
    config.VersionNumber = 0x0210;
    config.Access = TSimAccess::QueryOnly;
    const HANDLE handle = OpenDevice(Bus(), Bus().DevicePath(Bus().Plug(config)), 0);
    HIDD_ATTRIBUTES attributes{};
    ASSERT_TRUE(modules.GetAttributes(handle, &attributes));
    EXPECT_EQ(attributes.Size, 12u);
    EXPECT_EQ(attributes.VendorID, 0x1234);
    EXPECT_EQ(attributes.ProductID, 0x5678);
    EXPECT_EQ(attributes.VersionNumber, 0x0210);
    Bus().CloseHandle(handle);
}

TEST_F(DeviceHandleTest, IdentificationAndPreparsedDataCanFail) {
    TSimDeviceConfig config;
    config.IdentificationError = ERROR_GEN_FAILURE;
    config.PreparsedDataError = ERROR_NOT_ENOUGH_MEMORY;
    const HANDLE handle = OpenDevice(Bus(), Bus().DevicePath(Bus().Plug(config)));
    HIDD_ATTRIBUTES attributes{};
    EXPECT_FALSE(modules.GetAttributes(handle, &attributes));
    EXPECT_EQ(Bus().GetLastError(), ERROR_GEN_FAILURE);
    PHIDP_PREPARSED_DATA data = nullptr;
    EXPECT_FALSE(modules.GetPreparsedData(handle, &data));
    EXPECT_EQ(Bus().GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(Bus().OutstandingPreparsedData(), 0u);
    Bus().CloseHandle(handle);
}

TEST_F(DeviceHandleTest, PreparsedDataGivesTheCapsAndOutlivesItsHandle) {
    TSimDeviceConfig config;
    config.InputReportByteLength = 9;
    config.OutputReportByteLength = 65;
    config.FeatureReportByteLength = 3;
    const HANDLE handle = OpenDevice(Bus(), Bus().DevicePath(Bus().Plug(config)), 0);
    PHIDP_PREPARSED_DATA data = nullptr;
    ASSERT_TRUE(modules.GetPreparsedData(handle, &data));
    Bus().CloseHandle(handle);
    EXPECT_EQ(Bus().OutstandingPreparsedData(), 1u);

    HIDP_CAPS caps{};
    EXPECT_EQ(modules.GetCaps(data, &caps), HIDP_STATUS_SUCCESS);
    EXPECT_EQ(caps.InputReportByteLength, 9);
    EXPECT_EQ(caps.OutputReportByteLength, 65);
    EXPECT_EQ(caps.FeatureReportByteLength, 3);
    EXPECT_EQ(caps.UsagePage, 0xFF00);
    EXPECT_TRUE(modules.FreePreparsedData(data));
    EXPECT_EQ(Bus().OutstandingPreparsedData(), 0u);
}

TEST_F(DeviceHandleTest, PreparsedDataMisuseIsRecorded) {
    const HANDLE handle = OpenDevice(Bus(), Bus().DevicePath(Bus().Plug()));
    PHIDP_PREPARSED_DATA data = nullptr;
    ASSERT_TRUE(modules.GetPreparsedData(handle, &data));
    Bus().CloseHandle(handle);
    modules.FreePreparsedData(data);

    HIDP_CAPS caps{};
    EXPECT_EQ(modules.GetCaps(data, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
    EXPECT_EQ(modules.GetCaps(nullptr, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
    EXPECT_FALSE(modules.FreePreparsedData(data));
    EXPECT_THAT(TakeViolations(), ElementsAre(HasSubstr("used after it was freed"),
                                              HasSubstr("is null"), HasSubstr("freed twice")));
}

// --- Strings -------------------------------------------------------------------------------

enum class TStringCall { Manufacturer, Product, Serial };

struct TStringCase {
    const char* name;
    TStringCall call;
    TSimString value;
    bool result;
    DWORD error;
};

void PrintTo(const TStringCase& c, std::ostream* out) {
    *out << c.name;
}

class StringTest : public DeviceHandleTest, public ::testing::WithParamInterface<TStringCase> {};

TEST_P(StringTest, StringCallGivesTheDevicesDescriptor) {
    const TStringCase& c = GetParam();
    TSimDeviceConfig config;
    config.Access = TSimAccess::QueryOnly;
    (c.call == TStringCall::Manufacturer ? config.Manufacturer
     : c.call == TStringCall::Product    ? config.Product
                                         : config.SerialNumber) = c.value;
    const HANDLE handle = OpenDevice(Bus(), Bus().DevicePath(Bus().Plug(config)), 0);
    const auto function = c.call == TStringCall::Manufacturer ? modules.GetManufacturerString
                          : c.call == TStringCall::Product    ? modules.GetProductString
                                                              : modules.GetSerialNumberString;
    char16_t buffer[254] = {};
    const bool result = function(handle, buffer, sizeof buffer) != FALSE;
    EXPECT_EQ(result, c.result);
    if (c.result) {
        EXPECT_EQ(std::u16string(buffer), c.value.Text);
    } else {
        EXPECT_EQ(Bus().GetLastError(), c.error);
        EXPECT_EQ(buffer[0], 0);
    }
    Bus().CloseHandle(handle);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, StringTest,
    ::testing::Values(
        TStringCase{"Manufacturer", TStringCall::Manufacturer, TSimString::Present(u"Acme"), true,
                    0},
        TStringCase{"Product", TStringCall::Product, TSimString::Present(u"Gadget"), true, 0},
        TStringCase{"Serial", TStringCall::Serial, TSimString::Present(u"A1B2"), true, 0},
        TStringCase{"EmptySerial", TStringCall::Serial, TSimString::Present(u""), true, 0},
        TStringCase{"AbsentSerial", TStringCall::Serial, TSimString::Absent(), false,
                    ERROR_INVALID_PARAMETER},
        TStringCase{"FailingProduct", TStringCall::Product, TSimString::Failing(), false,
                    ERROR_GEN_FAILURE},
        TStringCase{"FailingWithOwnError", TStringCall::Manufacturer,
                    TSimString::Failing(ERROR_DEVICE_NOT_CONNECTED), false,
                    ERROR_DEVICE_NOT_CONNECTED}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceHandleTest, StringIsCutToTheBufferAndTerminatedWhenThereIsRoom) {
    TSimDeviceConfig config;
    config.Product = TSimString::Present(u"ABCDEF");
    const HANDLE handle = OpenDevice(Bus(), Bus().DevicePath(Bus().Plug(config)), 0);
    char16_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    ASSERT_TRUE(modules.GetProductString(handle, buffer, 4 * sizeof(char16_t)));
    EXPECT_EQ(std::u16string(buffer, 5), u"ABCD#");
    ASSERT_TRUE(modules.GetProductString(handle, buffer, sizeof buffer));
    EXPECT_EQ(std::u16string(buffer), u"ABCDEF");
    Bus().CloseHandle(handle);
}

TEST_F(DeviceHandleTest, IndexZeroIsTheLanguageList) {
    TSimDeviceConfig config;
    config.Languages = std::vector<std::uint16_t>{0x0409, 0x0407};
    const HANDLE handle = OpenDevice(Bus(), Bus().DevicePath(Bus().Plug(config)), 0);
    std::vector<std::uint16_t> buffer(254, 0xFFFF);
    EXPECT_TRUE(modules.GetIndexedString(handle, 0, buffer.data(), 508));
    EXPECT_EQ(buffer[0], 0x0409);
    EXPECT_EQ(buffer[1], 0x0407);
    EXPECT_EQ(buffer[2], 0);
    EXPECT_EQ(buffer[3], 0xFFFF);

    std::vector<std::uint16_t> serial(254, 0);
    EXPECT_TRUE(modules.GetIndexedString(handle, 3, serial.data(), 508));
    EXPECT_EQ(std::u16string(serial.begin(), serial.begin() + 7), u"SIM0001");
    Bus().CloseHandle(handle);
}

TEST_F(DeviceHandleTest, DeviceWithoutLanguageListFailsIndexZero) {
    TSimDeviceConfig config;
    config.Languages.reset();
    const HANDLE handle = OpenDevice(Bus(), Bus().DevicePath(Bus().Plug(config)), 0);
    std::vector<std::uint16_t> buffer(254, 0xFFFF);
    EXPECT_FALSE(modules.GetIndexedString(handle, 0, buffer.data(), 508));
    EXPECT_EQ(Bus().GetLastError(), ERROR_GEN_FAILURE);
    EXPECT_EQ(buffer[0], 0xFFFF);
    Bus().CloseHandle(handle);
}

// --- Input buffers ---------------------------------------------------------------------------

TEST_F(DeviceHandleTest, InputBufferCountIsPerHandleWithinTheDriversRange) {
    const std::string path = Bus().DevicePath(Bus().Plug());
    const HANDLE general = OpenDevice(Bus(), path);
    const HANDLE read = OpenDevice(Bus(), path, GENERIC_READ, FILE_FLAG_OVERLAPPED);
    ULONG count = 0;
    ASSERT_TRUE(modules.GetNumInputBuffers(read, &count));
    EXPECT_EQ(count, 32u);

    EXPECT_FALSE(modules.SetNumInputBuffers(read, 1));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(modules.SetNumInputBuffers(read, 513));
    EXPECT_TRUE(modules.SetNumInputBuffers(read, 2));
    EXPECT_TRUE(modules.SetNumInputBuffers(general, 512));

    modules.GetNumInputBuffers(read, &count);
    EXPECT_EQ(count, 2u);
    modules.GetNumInputBuffers(general, &count);
    EXPECT_EQ(count, 512u);
    Bus().CloseHandle(general);
    Bus().CloseHandle(read);
}

} // namespace
} // namespace platform::sim::testing
