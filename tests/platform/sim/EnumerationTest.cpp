#include "tests/platform/sim/SimBusFixture.h"
#include "tests/platform/sim/SimModules.h"

#include <cstddef>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace platform::sim::testing {
namespace {

using ::testing::ElementsAre;

constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

struct TInterface {
    std::string path;
    DWORD devInst = 0;
};

class EnumerationTest : public SimBusTest {
protected:
    HDEVINFO OpenSet() {
        GUID guid{};
        modules.GetHidGuid(&guid);
        return modules.GetClassDevs(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    }

    SP_DEVICE_INTERFACE_DATA InterfaceRecord() {
        SP_DEVICE_INTERFACE_DATA record{};
        record.cbSize = sizeof record;
        return record;
    }

    SP_DEVINFO_DATA DeviceRecord() {
        SP_DEVINFO_DATA record{};
        record.cbSize = sizeof record;
        return record;
    }

    // The program's walk: size query, then the detail record of that size.
    std::vector<TInterface> Enumerate(HDEVINFO set) {
        std::vector<TInterface> found;
        GUID guid{};
        modules.GetHidGuid(&guid);
        for (DWORD index = 0;; ++index) {
            SP_DEVICE_INTERFACE_DATA interface = InterfaceRecord();
            if (!modules.EnumDeviceInterfaces(set, nullptr, &guid, index, &interface)) {
                EXPECT_EQ(Bus().GetLastError(), ERROR_NO_MORE_ITEMS);
                return found;
            }
            SP_DEVINFO_DATA device = DeviceRecord();
            DWORD needed = 0;
            EXPECT_FALSE(
                modules.GetDeviceInterfaceDetail(set, &interface, nullptr, 0, &needed, &device));
            EXPECT_EQ(Bus().GetLastError(), ERROR_INSUFFICIENT_BUFFER);
            std::vector<char> block(needed, 0);
            DWORD size = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            std::memcpy(block.data(), &size, sizeof size);
            auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block.data());
            EXPECT_TRUE(modules.GetDeviceInterfaceDetail(set, &interface, detail, needed, &needed,
                                                         &device));
            found.push_back({block.data() + kPathOffset, device.DevInst});
        }
    }

    TSimModules modules{Bus()};
};

TEST_F(EnumerationTest, FindsEveryPresentDeviceWithItsPathAndInstance) {
    const TSimDeviceId first = Bus().Plug();
    const TSimDeviceId gone = Bus().Plug();
    TSimDeviceConfig other;
    other.VendorID = 0x046D;
    other.ProductID = 0xC077;
    const TSimDeviceId second = Bus().Plug(other);
    Bus().Unplug(gone);

    const HDEVINFO set = OpenSet();
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    const std::vector<TInterface> found = Enumerate(set);
    EXPECT_TRUE(modules.DestroyDeviceInfoList(set));

    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, Bus().DevicePath(first));
    EXPECT_EQ(found[0].devInst, Bus().DevInst(first));
    EXPECT_EQ(found[1].path, Bus().DevicePath(second));
    EXPECT_EQ(found[1].devInst, Bus().DevInst(second));
    EXPECT_EQ(Bus().OutstandingDeviceInfoSets(), 0u);
}

TEST_F(EnumerationTest, EveryPlugGetsANewInstanceAndTheDefaultPathNamesTheIds) {
    const TSimDeviceId first = Bus().Plug();
    Bus().Unplug(first);
    const TSimDeviceId again = Bus().Plug();

    EXPECT_NE(Bus().DevInst(first), Bus().DevInst(again));
    EXPECT_EQ(Bus().DevicePath(again).rfind("\\\\?\\hid#vid_0416&pid_8249#", 0), 0u);
    EXPECT_TRUE(Bus().DevicePath(again).ends_with("#{4d1e55b2-f16f-11cf-88cb-001111000030}"));
}

// Devices enumerate by rank, then in plug order; in positional mode each enumeration hands
// out instance values by position, so a device that sorts in shifts the ones after it.
TEST_F(EnumerationTest, RanksOrderTheEnumerationAndPositionalValuesShift) {
    TSimDeviceConfig early;
    early.EnumerationRank = 0;
    TSimDeviceConfig late;
    late.EnumerationRank = 2;
    const TSimDeviceId first = Bus().Plug(early);
    const TSimDeviceId last = Bus().Plug(late);
    Bus().SetDevInstByPosition(true);
    TSimDeviceConfig between;
    between.EnumerationRank = 1;
    const TSimDeviceId middle = Bus().Plug(between);

    const HDEVINFO set = OpenSet();
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    const std::vector<TInterface> found = Enumerate(set);
    EXPECT_TRUE(modules.DestroyDeviceInfoList(set));

    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].path, Bus().DevicePath(first));
    EXPECT_EQ(found[1].path, Bus().DevicePath(middle));
    EXPECT_EQ(found[2].path, Bus().DevicePath(last));
    EXPECT_EQ(found[0].devInst, 0x101u);
    EXPECT_EQ(found[1].devInst, 0x102u);
    EXPECT_EQ(found[2].devInst, 0x103u);
    EXPECT_EQ(Bus().DevInst(middle), 0x102u);
    EXPECT_EQ(Bus().DevInst(last), 0x103u);

    // Values move when a device before them leaves.
    Bus().Unplug(first);
    EXPECT_EQ(Bus().DevInst(middle), 0x101u);
}

TEST_F(EnumerationTest, DetailSizeQueryReportsPathLengthAndPathStartsFourBytesIn) {
    TSimDeviceConfig config;
    config.Path = "\\\\?\\hid#vid_0416&pid_8249#x#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    Bus().Plug(config);
    const HDEVINFO set = OpenSet();
    GUID guid{};
    modules.GetHidGuid(&guid);
    SP_DEVICE_INTERFACE_DATA interface = InterfaceRecord();
    ASSERT_TRUE(modules.EnumDeviceInterfaces(set, nullptr, &guid, 0, &interface));

    DWORD needed = 0;
    EXPECT_FALSE(modules.GetDeviceInterfaceDetail(set, &interface, nullptr, 0, &needed, nullptr));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(kPathOffset, 4u);
    EXPECT_EQ(needed, kPathOffset + config.Path.size() + 1);

    // One byte short is still too small.
    std::vector<char> block(needed, 0x7F);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    EXPECT_FALSE(
        modules.GetDeviceInterfaceDetail(set, &interface, detail, needed - 1, nullptr, nullptr));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    ASSERT_TRUE(
        modules.GetDeviceInterfaceDetail(set, &interface, detail, needed, nullptr, nullptr));
    EXPECT_EQ(std::string(block.data() + kPathOffset), config.Path);
    modules.DestroyDeviceInfoList(set);
}

// Record sizes are checked against the build's records: the other pointer size's values
// (the 32-bit 28 and 5 in a 64-bit build) are rejected like any other wrong size.
enum class TRecord { EnumInterface, DetailInterface, DetailDevice, Detail };

struct TSizeCase {
    const char* name;
    TRecord record;
    DWORD size;
};

void PrintTo(const TSizeCase& c, std::ostream* out) {
    *out << c.name;
}

constexpr DWORD kOtherDataSize = sizeof(void*) == 8 ? 28 : 32;
constexpr DWORD kOtherDetailSize = sizeof(void*) == 8 ? 5 : 8;

class RecordSizeTest : public EnumerationTest, public ::testing::WithParamInterface<TSizeCase> {};

TEST_P(RecordSizeTest, WrongSizeIsRejectedAsInvalidUserBuffer) {
    const TSizeCase& c = GetParam();
    Bus().Plug();
    const HDEVINFO set = OpenSet();
    GUID guid{};
    modules.GetHidGuid(&guid);
    SP_DEVICE_INTERFACE_DATA interface = InterfaceRecord();
    if (c.record == TRecord::EnumInterface) {
        interface.cbSize = c.size;
        EXPECT_FALSE(modules.EnumDeviceInterfaces(set, nullptr, &guid, 0, &interface));
        EXPECT_EQ(Bus().GetLastError(), ERROR_INVALID_USER_BUFFER);
        modules.DestroyDeviceInfoList(set);
        return;
    }
    ASSERT_TRUE(modules.EnumDeviceInterfaces(set, nullptr, &guid, 0, &interface));
    SP_DEVINFO_DATA device = DeviceRecord();
    std::vector<char> block(512, 0);
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(block.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    switch (c.record) {
    case TRecord::DetailInterface:
        interface.cbSize = c.size;
        break;
    case TRecord::DetailDevice:
        device.cbSize = c.size;
        break;
    default:
        detail->cbSize = c.size;
        break;
    }
    DWORD needed = 0;
    EXPECT_FALSE(modules.GetDeviceInterfaceDetail(
        set, &interface, detail, static_cast<DWORD>(block.size()), &needed, &device));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INVALID_USER_BUFFER);
    modules.DestroyDeviceInfoList(set);
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordSizeTest,
    ::testing::Values(
        TSizeCase{"EnumInterfaceOtherPlatform", TRecord::EnumInterface, kOtherDataSize},
        TSizeCase{"EnumInterfaceZero", TRecord::EnumInterface, 0},
        TSizeCase{"DetailInterfaceOtherPlatform", TRecord::DetailInterface, kOtherDataSize},
        TSizeCase{"DetailDeviceOtherPlatform", TRecord::DetailDevice, kOtherDataSize},
        TSizeCase{"DetailDeviceTooBig", TRecord::DetailDevice, sizeof(SP_DEVINFO_DATA) + 4},
        TSizeCase{"DetailOtherPlatform", TRecord::Detail, kOtherDetailSize},
        TSizeCase{"DetailWholeBlock", TRecord::Detail, 512}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnumerationTest, SetIsASnapshotOfThePopulationWhenItWasMade) {
    const TSimDeviceId kept = Bus().Plug();
    const HDEVINFO set = OpenSet();
    Bus().Plug();
    Bus().Unplug(kept);

    const std::vector<TInterface> found = Enumerate(set);
    modules.DestroyDeviceInfoList(set);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].devInst, Bus().DevInst(kept));
}

TEST_F(EnumerationTest, OtherInterfaceClassHasNoMembers) {
    Bus().Plug();
    const GUID other{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    const HDEVINFO set =
        modules.GetClassDevs(&other, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    SP_DEVICE_INTERFACE_DATA interface = InterfaceRecord();
    EXPECT_FALSE(modules.EnumDeviceInterfaces(set, nullptr, &other, 0, &interface));
    EXPECT_EQ(Bus().GetLastError(), ERROR_NO_MORE_ITEMS);
    modules.DestroyDeviceInfoList(set);
}

TEST_F(EnumerationTest, InjectedFailureOfTheSetQueryHitsOneCallOnly) {
    Bus().Plug();
    Bus().FailNextCall("SetupDiGetClassDevsA", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(OpenSet(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Bus().GetLastError(), ERROR_NOT_ENOUGH_MEMORY);

    const HDEVINFO set = OpenSet();
    ASSERT_NE(set, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Enumerate(set).size(), 1u);
    modules.DestroyDeviceInfoList(set);
}

TEST_F(EnumerationTest, SetUsedAfterDestructionIsMisuse) {
    const HDEVINFO set = OpenSet();
    ASSERT_TRUE(modules.DestroyDeviceInfoList(set));
    EXPECT_FALSE(modules.DestroyDeviceInfoList(set));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_THAT(TakeViolations(), ElementsAre(::testing::HasSubstr("used after it was destroyed")));
}

TEST_F(EnumerationTest, SetsLeftUndestroyedShowAsLeaks) {
    const HDEVINFO set = OpenSet();
    EXPECT_EQ(Bus().OutstandingDeviceInfoSets(), 1u);
    EXPECT_THAT(Bus().Leaks(), ::testing::Contains(::testing::HasSubstr("device-info set")));
    modules.DestroyDeviceInfoList(set);
}

TEST_F(EnumerationTest, HidInterfaceGuidIsThePlatformsOne) {
    GUID guid{};
    modules.GetHidGuid(&guid);
    EXPECT_EQ(guid.Data1, 0x4D1E55B2u);
    EXPECT_EQ(guid.Data2, 0xF16F);
    EXPECT_EQ(guid.Data3, 0x11CF);
    EXPECT_THAT(guid.Data4, ElementsAre(0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30));
}

} // namespace
} // namespace platform::sim::testing
