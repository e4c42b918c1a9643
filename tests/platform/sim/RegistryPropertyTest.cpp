#include "tests/platform/sim/SimBusFixture.h"
#include "tests/platform/sim/SimModules.h"

#include <ostream>
#include <string>
#include <vector>

namespace platform::sim::testing {
namespace {

// The property readers' buffers: 1024 bytes for text, 16384 for lists, 4 for numbers.
struct TPropertyCase {
    const char* name;
    DWORD code;
    DWORD bufferSize;
    BOOL result;
    DWORD error;       // last error when the call fails
    DWORD type;        // registry data type reported
    DWORD required;    // size reported
    std::string bytes; // the buffer's leading bytes afterwards (untouched: a single 0)
};

void PrintTo(const TPropertyCase& c, std::ostream* out) {
    *out << c.name;
}

constexpr DWORD kFriendlyName = property::kFriendlyName;
constexpr DWORD kHardwareId = property::kHardwareId;
constexpr DWORD kCapabilities = property::kCapabilities;
constexpr DWORD kService = property::kService;
constexpr DWORD kLowerFilters = property::kLowerFilters;
constexpr DWORD kLocation = property::kLocationInformation;

class RegistryPropertyTest : public SimBusTest,
                             public ::testing::WithParamInterface<TPropertyCase> {
protected:
    void SetUp() override {
        TSimDeviceConfig config;
        config.Properties[kFriendlyName] = TSimProperty::Text("Sim Friendly");
        config.Properties[kHardwareId] = TSimProperty::List({"HID\\A", "HID\\B"});
        config.Properties[kCapabilities] = TSimProperty::Number(0x84);
        config.Properties.erase(kService);
        config.Properties[kLowerFilters] =
            TSimProperty::List({std::string(10000, 'a'), std::string(10000, 'b')});
        config.Properties[kLocation] = TSimProperty::Text(std::string(2000, 'x'));
        Bus().Plug(config);

        GUID guid{};
        modules.GetHidGuid(&guid);
        set = modules.GetClassDevs(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        SP_DEVICE_INTERFACE_DATA interface {};
        interface.cbSize = sizeof interface;
        ASSERT_TRUE(modules.EnumDeviceInterfaces(set, nullptr, &guid, 0, &interface));
        device.cbSize = sizeof device;
        DWORD needed = 0;
        modules.GetDeviceInterfaceDetail(set, &interface, nullptr, 0, &needed, nullptr);
        std::vector<char> block(needed, 0);
        auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        ASSERT_TRUE(
            modules.GetDeviceInterfaceDetail(set, &interface, detail, needed, nullptr, &device));
    }

    void TearDown() override {
        modules.DestroyDeviceInfoList(set);
        SimBusTest::TearDown();
    }

    TSimModules modules{Bus()};
    HDEVINFO set = nullptr;
    SP_DEVINFO_DATA device{};
};

TEST_P(RegistryPropertyTest, ReaderGetsWhatThePlatformGives) {
    const TPropertyCase& c = GetParam();
    std::vector<BYTE> buffer(c.bufferSize, 0xEE);
    buffer[0] = 0; // the readers pre-set an empty value
    DWORD type = 0xFFFF;
    DWORD required = 0;
    const BOOL result = modules.GetDeviceRegistryProperty(set, &device, c.code, &type,
                                                          buffer.data(), c.bufferSize, &required);
    EXPECT_EQ(result, c.result);
    if (!result) {
        EXPECT_EQ(Bus().GetLastError(), c.error);
    }
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(required, c.required);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(c.bytes.size())),
              c.bytes);
}

const std::string kZero(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Readers, RegistryPropertyTest,
    ::testing::Values(TPropertyCase{"Text", kFriendlyName, 1024, TRUE, 0, 1, 13,
                                    std::string("Sim Friendly\0", 13)},
                      TPropertyCase{"List", kHardwareId, 16384, TRUE, 0, 7, 13,
                                    std::string("HID\\A\0HID\\B\0\0", 13)},
                      TPropertyCase{"Number", kCapabilities, 4, TRUE, 0, 4, 4,
                                    std::string("\x84\0\0\0", 4)},
                      TPropertyCase{"Missing", kService, 1024, FALSE, 13, 0xFFFF, 0, kZero},
                      TPropertyCase{"TextTooLong", kLocation, 1024, FALSE,
                                    ERROR_INSUFFICIENT_BUFFER, 1, 2001, kZero},
                      TPropertyCase{"ListTooLong", kLowerFilters, 16384, FALSE,
                                    ERROR_INSUFFICIENT_BUFFER, 7, 20003, kZero},
                      TPropertyCase{"TextIntoNumberBuffer", kFriendlyName, 4, FALSE,
                                    ERROR_INSUFFICIENT_BUFFER, 1, 13, kZero}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryPropertyTest, DeviceRecordIsCheckedLikeThePlatform) {
    BYTE buffer[4] = {};
    SP_DEVINFO_DATA wrongSize = device;
    wrongSize.cbSize = sizeof(void*) == 8 ? 28 : 32;
    EXPECT_FALSE(modules.GetDeviceRegistryProperty(set, &wrongSize, kCapabilities, nullptr, buffer,
                                                   sizeof buffer, nullptr));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INVALID_USER_BUFFER);

    SP_DEVINFO_DATA stranger = device;
    stranger.Reserved = 99;
    EXPECT_FALSE(modules.GetDeviceRegistryProperty(set, &stranger, kCapabilities, nullptr, buffer,
                                                   sizeof buffer, nullptr));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INVALID_PARAMETER);

    EXPECT_FALSE(modules.GetDeviceRegistryProperty(set, &device, 0x25, nullptr, buffer,
                                                   sizeof buffer, nullptr));
    EXPECT_EQ(Bus().GetLastError(), 521u); // ERROR_INVALID_REG_PROPERTY
}

TEST_F(RegistryPropertyTest, DefaultDeviceHasTheUsualPropertiesOfAHidDevice) {
    TSimModules& m = modules;
    BYTE text[1024] = {};
    EXPECT_TRUE(m.GetDeviceRegistryProperty(set, &device, property::kClass, nullptr, text,
                                            sizeof text, nullptr));
    EXPECT_STREQ(reinterpret_cast<const char*>(text), "HIDClass");
}

} // namespace
} // namespace platform::sim::testing
