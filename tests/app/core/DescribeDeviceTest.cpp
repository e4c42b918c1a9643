#include "SimFormFixture.h"

namespace apptest {
namespace {

struct TDescribeCase {
    const char* name;
    USHORT vendor;
    USHORT product;
    TSimString productName;
    TSimString serial;
    std::string text;
};

void PrintTo(const TDescribeCase& c, std::ostream* out) {
    *out << c.name;
}

class DescribeDeviceTest : public SimFormTest, public testing::WithParamInterface<TDescribeCase> {};

TEST_P(DescribeDeviceTest, NamesTheDeviceInTheDeviceList) {
    const TDescribeCase& c = GetParam();
    TSimDeviceConfig device;
    device.VendorID = c.vendor;
    device.ProductID = c.product;
    device.Product = c.productName;
    device.SerialNumber = c.serial;
    PlugQuietly(device);
    Start();
    ASSERT_EQ(DeviceList().size(), 1U);
    EXPECT_EQ(DeviceList()[0], c.text);
    EXPECT_EQ(form->DescribeDevice(form->DevListDevice(0)), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, DescribeDeviceTest,
    testing::Values(TDescribeCase{"ProductAndSerial", 0x0416, 0x8249,
                                  TSimString::Present(u"VUZ Adapter"), TSimString::Present(u"A1"),
                                  "VUZ Adapter (Serial=A1)"},
                    TDescribeCase{"ProductOnly", 0x046D, 0xC31C,
                                  TSimString::Present(u"USB Keyboard"), TSimString::Absent(),
                                  "USB Keyboard"},
                    TDescribeCase{"IdsWithLowerCaseHexDigits", 0x04b4, 0x100a, TSimString::Absent(),
                                  TSimString::Absent(), "Device VID=04B4 PID=100A"},
                    TDescribeCase{"IdsPaddedToFourDigits", 0x0416, 0x0001, TSimString::Absent(),
                                  TSimString::Present(u"S"), "Device VID=0416 PID=0001 (Serial=S)"},
                    TDescribeCase{"FailingStrings", 0xFFFF, 0xABCD, TSimString::Failing(),
                                  TSimString::Failing(), "Device VID=FFFF PID=ABCD"},
                    TDescribeCase{"NonAsciiText", 0x0416, 0x8249, TSimString::Present(u"Gerät ▲"),
                                  TSimString::Present(u"Ж7"), "Gerät ▲ (Serial=Ж7)"}),
    [](const testing::TestParamInfo<TDescribeCase>& info) { return info.param.name; });

} // namespace
} // namespace apptest
