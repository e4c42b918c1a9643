// Opening and identifying a device, its cached strings, capabilities and sleep time.
#include "DeviceTestSupport.h"
#include "HidTestFixture.h"

#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace hid::test {
namespace {

using platform::sim::TSimAccess;
using platform::sim::TSimString;

class DeviceIdentityTest : public HidDeviceFixture {};

TEST_F(DeviceIdentityTest, ConstructionIdentifiesTheDeviceAndClosesItsHandle) {
    TDeviceConfig config;
    config.VendorID = 0x1234;
    config.ProductID = 0x5678;
    config.VersionNumber = 0x0203;
    const auto device = PlugDevice(config);

    EXPECT_EQ(device->Attributes().Size, 12U);
    EXPECT_EQ(device->Attributes().VendorID, 0x1234);
    EXPECT_EQ(device->Attributes().ProductID, 0x5678);
    EXPECT_EQ(device->Attributes().VersionNumber, 0x0203);
    EXPECT_TRUE(device->HasReadWriteAccess());
    EXPECT_TRUE(device->IsPluggedIn());
    EXPECT_FALSE(device->IsCheckedOut());
    EXPECT_FALSE(device->IsAccessible());
    EXPECT_EQ(device->ThreadSleepTime(), 100);
    EXPECT_EQ(device->Controller(), nullptr);
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 0U);
}

struct TConstructionFailure {
    const char* name;
    TDeviceConfig config;
    const char* message;
};

void PrintTo(const TConstructionFailure& c, std::ostream* out) {
    *out << c.name;
}

class DeviceConstructionFailureTest : public HidDeviceFixture,
                                      public ::testing::WithParamInterface<TConstructionFailure> {};

TEST_P(DeviceConstructionFailureTest, RaisesControllerErrorAndKeepsNothingOpen) {
    const auto id = Bus().Plug(GetParam().config, platform::sim::TBroadcast::No);
    try {
        MakeDevice(id);
        FAIL() << "construction succeeded";
    } catch (const EControllerError& error) {
        EXPECT_STREQ(error.what(), GetParam().message);
    }
    EXPECT_EQ(Bus().OpenHandleCount(id), 0U);
}

TDeviceConfig Unopenable() {
    TDeviceConfig config;
    config.Access = TSimAccess::Unopenable;
    return config;
}

TDeviceConfig Unidentifiable() {
    TDeviceConfig config;
    config.IdentificationError = ERROR_GEN_FAILURE;
    return config;
}

INSTANTIATE_TEST_SUITE_P(Failures, DeviceConstructionFailureTest,
                         ::testing::Values(TConstructionFailure{"Unopenable", Unopenable(),
                                                                "device cannot be opened"},
                                           TConstructionFailure{"Unidentifiable", Unidentifiable(),
                                                                "device cannot be identified"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceIdentityTest, QueryOnlyDeviceIsIdentifiedAndReadableButRunsNoThread) {
    TDeviceConfig config;
    config.Access = TSimAccess::QueryOnly;
    const auto device = PlugDevice(config);
    EXPECT_FALSE(device->HasReadWriteAccess());
    EXPECT_EQ(device->Attributes().VendorID, 0x0416);

    TDeviceEvents events;
    THidDeviceTestAccess::CheckOut(*device);
    EXPECT_EQ(device->VendorName(), u"Simulated Devices");
    EXPECT_EQ(device->ProductName(), u"Simulated HID Device");
    EXPECT_EQ(device->SerialNumber(), u"SIM0001");
    EXPECT_EQ(device->Caps().InputReportByteLength, 8);
    device->SetOnData(events.OnData());
    EXPECT_FALSE(device->HasReadThread());
    EXPECT_FALSE(device->HasReadWriteAccess());
}

TEST_F(DeviceIdentityTest, StringsAreFetchedOnceAndServedFromTheCache) {
    const auto device = PlugDevice();
    THidDeviceTestAccess::CheckOut(*device);
    EXPECT_EQ(device->VendorName(), u"Simulated Devices");
    EXPECT_EQ(device->ProductName(), u"Simulated HID Device");
    Bus().ResetCallCounts();
    EXPECT_EQ(device->VendorName(), u"Simulated Devices");
    EXPECT_EQ(device->ProductName(), u"Simulated HID Device");
    EXPECT_EQ(Bus().TotalCallCount(), 0U);
}

TEST_F(DeviceIdentityTest, FailedStringIsNotCachedAndIsAskedForAgain) {
    TDeviceConfig config;
    config.Manufacturer = TSimString::Failing();
    config.Product = TSimString::Absent();
    const auto device = PlugDevice(config);
    THidDeviceTestAccess::CheckOut(*device);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(device->VendorName(), u"");
        EXPECT_EQ(device->ProductName(), u"");
    }
    EXPECT_EQ(Bus().CallCount("HidD_GetManufacturerString"), 2U);
    EXPECT_EQ(Bus().CallCount("HidD_GetProductString"), 2U);
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 0U);
}

TEST_F(DeviceIdentityTest, LongStringIsCutToTheBuffer) {
    TDeviceConfig config;
    config.Product = TSimString::Present(std::u16string(300, u'p'));
    const auto device = PlugDevice(config);
    THidDeviceTestAccess::CheckOut(*device);
    EXPECT_EQ(device->ProductName(), std::u16string(254, u'p'));
}

struct TSerialCase {
    const char* name;
    TSimString serial;
    std::optional<std::vector<std::uint16_t>> languages;
    std::u16string expected;
};

void PrintTo(const TSerialCase& c, std::ostream* out) {
    *out << c.name;
}

class DeviceSerialNumberTest : public HidDeviceFixture,
                               public ::testing::WithParamInterface<TSerialCase> {};

TEST_P(DeviceSerialNumberTest, ComparesTheSerialWithTheLanguageList) {
    TDeviceConfig config;
    config.SerialNumber = GetParam().serial;
    config.Languages = GetParam().languages;
    const auto device = PlugDevice(config);
    THidDeviceTestAccess::CheckOut(*device);
    EXPECT_EQ(device->SerialNumber(), GetParam().expected);
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 0U);
}

using Languages = std::vector<std::uint16_t>;

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceSerialNumberTest,
    ::testing::Values(
        TSerialCase{"Plain", TSimString::Present(u"SIM0001"), Languages{0x0409}, u"SIM0001"},
        TSerialCase{"CopyOfLanguageList", TSimString::Present(u"\u0409"), Languages{0x0409}, u""},
        TSerialCase{"CopyOfTwoLanguages", TSimString::Present(u"\u0409\u0407"),
                    Languages{0x0409, 0x0407}, u""},
        TSerialCase{"DiffersInSecondLanguage", TSimString::Present(u"\u0409X"),
                    Languages{0x0409, 0x0407}, u"\u0409X"},
        // Without a list there is nothing the serial could be a copy of (Wine: "0000").
        TSerialCase{"LanguageListUnreadable", TSimString::Present(u"0000"), std::nullopt, u"0000"},
        TSerialCase{"LanguageListEmpty", TSimString::Present(u"SIM0001"), Languages{}, u"SIM0001"},
        TSerialCase{"SerialAbsent", TSimString::Absent(), Languages{0x0409}, u""},
        TSerialCase{"SerialFailing", TSimString::Failing(), Languages{0x0409}, u""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceIdentityTest, CapsComeFromPreparsedDataFetchedOnce) {
    TDeviceConfig config;
    config.InputReportByteLength = 9;
    config.OutputReportByteLength = 65;
    const auto device = PlugDevice(config);
    THidDeviceTestAccess::CheckOut(*device);
    for (int i = 0; i < 3; ++i) {
        const HIDP_CAPS caps = device->Caps();
        EXPECT_EQ(caps.InputReportByteLength, 9);
        EXPECT_EQ(caps.OutputReportByteLength, 65);
    }
    EXPECT_EQ(Bus().CallCount("HidD_GetPreparsedData"), 1U);
    EXPECT_EQ(Bus().CallCount("HidP_GetCaps"), 3U);
    EXPECT_NE(device->PreparsedData(), nullptr);
    EXPECT_EQ(Bus().OpenHandleCount(lastPlugged), 0U);
}

TEST_F(DeviceIdentityTest, CapsAreZeroWithoutPreparsedData) {
    TDeviceConfig config;
    config.PreparsedDataError = ERROR_GEN_FAILURE;
    const auto device = PlugDevice(config);
    THidDeviceTestAccess::CheckOut(*device);
    const HIDP_CAPS caps = device->Caps();
    EXPECT_EQ(caps.InputReportByteLength, 0);
    EXPECT_EQ(caps.UsagePage, 0);
    EXPECT_EQ(Bus().CallCount("HidP_GetCaps"), 0U);
    device->Caps(); // a failed fetch is tried again
    EXPECT_EQ(Bus().CallCount("HidD_GetPreparsedData"), 2U);
}

TEST_F(DeviceIdentityTest, FreedPreparsedDataIsNotUsedAgain) {
    const auto device = PlugDevice();
    THidDeviceTestAccess::CheckOut(*device);
    ASSERT_NE(device->PreparsedData(), nullptr);
    device->FreePreparsedData();
    EXPECT_EQ(Bus().OutstandingPreparsedData(), 0U);
    device->HandleUnplug();
    EXPECT_EQ(device->Caps().InputReportByteLength, 0);
    EXPECT_EQ(Bus().CallCount("HidD_FreePreparsedData"), 1U);
}

struct TSleepTimeCase {
    int value;
    int expected;
};

void PrintTo(const TSleepTimeCase& c, std::ostream* out) {
    *out << c.value << " ms";
}

class DeviceSleepTimeTest : public HidDeviceFixture,
                            public ::testing::WithParamInterface<TSleepTimeCase> {};

TEST_P(DeviceSleepTimeTest, AcceptsTenToTenThousand) {
    const auto device = PlugDevice();
    device->SetThreadSleepTime(GetParam().value);
    EXPECT_EQ(device->ThreadSleepTime(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Range, DeviceSleepTimeTest,
                         ::testing::Values(TSleepTimeCase{9, 100}, TSleepTimeCase{10, 10},
                                           TSleepTimeCase{250, 250}, TSleepTimeCase{10000, 10000},
                                           TSleepTimeCase{10001, 100}, TSleepTimeCase{0, 100},
                                           TSleepTimeCase{-5, 100}),
                         [](const auto& info) {
                             const int value = info.param.value;
                             return (value < 0 ? "Minus" : "") + std::to_string(std::abs(value));
                         });

} // namespace
} // namespace hid::test
