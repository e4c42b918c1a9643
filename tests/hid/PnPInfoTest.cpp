// The plug-and-play record: which properties are read, in which order, through which entry,
// and what a missing, short or oversized property leaves in its field.
#include "HidTestFixture.h"

#include <array>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace hid::test {
namespace {

using platform::TSetupApiEntries;
using platform::sim::TSimProperty;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
namespace property = platform::sim::property;

// One registry property query as the record made it.
struct TQuery {
    bool generic; // through the generic entry rather than the ANSI one
    DWORD code;
    DWORD bufferSize;
    friend bool operator==(const TQuery&, const TQuery&) = default;
};

// Puts recording functions into the two registry property entries for one scope and
// forwards to the bound functions; both entries hold the same export, so only this tells
// them apart.
class TPropertyQueryRecorder {
public:
    TPropertyQueryRecorder() {
        auto& address = Entries().Address;
        ansi = address[TSetupApiEntries::kGetDeviceRegistryPropertyA];
        generic = address[TSetupApiEntries::kGetDeviceRegistryProperty];
        address[TSetupApiEntries::kGetDeviceRegistryPropertyA] = platform::ToFarProc(&ViaAnsi);
        address[TSetupApiEntries::kGetDeviceRegistryProperty] = platform::ToFarProc(&ViaGeneric);
        active = this;
    }
    ~TPropertyQueryRecorder() {
        auto& address = Entries().Address;
        address[TSetupApiEntries::kGetDeviceRegistryPropertyA] = ansi;
        address[TSetupApiEntries::kGetDeviceRegistryProperty] = generic;
        active = nullptr;
    }
    TPropertyQueryRecorder(const TPropertyQueryRecorder&) = delete;
    TPropertyQueryRecorder& operator=(const TPropertyQueryRecorder&) = delete;

    std::vector<TQuery> queries;

private:
    static TSetupApiEntries& Entries() {
        // The binding's table is only handed out read-only; the test swaps two entries.
        return const_cast<TSetupApiEntries&>(platform::SetupApiEntries());
    }

    static BOOL Forward(bool viaGeneric, HDEVINFO set, PSP_DEVINFO_DATA device, DWORD code,
                        PDWORD type, PBYTE buffer, DWORD size, PDWORD required) {
        active->queries.push_back({viaGeneric, code, size});
        const FARPROC target = viaGeneric ? active->generic : active->ansi;
        return platform::FromFarProc<PFN_SetupDiGetDeviceRegistryPropertyA>(target)(
            set, device, code, type, buffer, size, required);
    }
    static BOOL ViaAnsi(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD code, PDWORD type,
                        PBYTE buffer, DWORD size, PDWORD required) {
        return Forward(false, set, device, code, type, buffer, size, required);
    }
    static BOOL ViaGeneric(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD code, PDWORD type,
                           PBYTE buffer, DWORD size, PDWORD required) {
        return Forward(true, set, device, code, type, buffer, size, required);
    }

    static inline TPropertyQueryRecorder* active = nullptr;
    FARPROC ansi = nullptr;
    FARPROC generic = nullptr;
};

class PnPInfoTest : public HidDeviceFixture {};

TEST_F(PnPInfoTest, ReadsEveryPropertyOnceInItsOrderWithItsReader) {
    const auto id = Bus().Plug({}, platform::sim::TBroadcast::No);
    std::vector<TQuery> queries;
    {
        TPropertyQueryRecorder recorder;
        const auto info = PnPInfoFor(id);
        queries = recorder.queries;
    }
    constexpr DWORD kText = THidPnPInfo::kTextBufferSize;
    constexpr DWORD kList = THidPnPInfo::kListBufferSize;
    const std::vector<TQuery> expected = {
        {true, 15, 4},      {false, 7, kText},  {false, 8, kText},  {false, 2, kList},
        {true, 10, 4},      {false, 0, kText},  {false, 9, kText},  {false, 12, kText},
        {false, 1, kList},  {false, 18, kList}, {false, 11, kText}, {false, 17, kList},
        {false, 4, kText},  {false, 28, kText}, {true, 21, 4},      {true, 25, 4},
        {false, 27, kText}, {false, 24, kText}, {true, 20, 4},      {true, 26, 4},
        {false, 22, kText}, {false, 13, kText}, {false, 14, kText}, {false, 19, kText},
        {true, 16, 4},      {false, 30, kText},
    };
    EXPECT_THAT(queries, ElementsAreArray(expected));
}

TEST_F(PnPInfoTest, FillsFieldsFromTheDevicesProperties) {
    TDeviceConfig config;
    config.Properties[property::kFriendlyName] = TSimProperty::Text("VUZ adapter");
    config.Properties[property::kUpperFilters] = TSimProperty::List({"upper"});
    config.Properties[property::kService] = TSimProperty::Text("HidUsb");
    const auto id = Bus().Plug(config, platform::sim::TBroadcast::No);
    const auto info = PnPInfoFor(id);

    EXPECT_EQ(info->DevInst(), Bus().DevInst(id));
    EXPECT_EQ(info->DevicePath(), Bus().DevicePath(id));
    EXPECT_EQ(info->Capabilities(), 0xA0U);
    EXPECT_EQ(info->Class(), "HIDClass");
    EXPECT_EQ(info->ClassGuid(), "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}");
    EXPECT_THAT(info->CompatibleIds(), ElementsAre("HID_DEVICE_SYSTEM_VHF"));
    EXPECT_EQ(info->DeviceDesc(), "HID-compliant device");
    EXPECT_EQ(info->FriendlyName(), "VUZ adapter");
    EXPECT_EQ(info->Mfg(), "(Standard system devices)");
    EXPECT_THAT(info->UpperFilters(), ElementsAre("upper"));
    EXPECT_THAT(info->LowerFilters(), IsEmpty());
    EXPECT_EQ(info->Service(), "HidUsb");
    EXPECT_EQ(info->LegacyBusType(), 0xFFFFFFFFU);
    EXPECT_EQ(info->EnumeratorName(), "HID");
    EXPECT_EQ(info->PhysicalDeviceObjectName(), "\\Device\\00000042");
    // Numeric and binary properties read as text keep their bytes up to the first zero.
    EXPECT_EQ(info->Address(), std::string("\x01"));
    EXPECT_EQ(info->BusTypeGuid(), std::string("\x0A\x64\x89\xEE\x1B\x9F\xD0\x11\x9F\xE1"));
}

TEST_F(PnPInfoTest, MissingFriendlyNameLeavesOnlyThatFieldEmpty) {
    TDeviceConfig config;
    config.Properties.erase(property::kFriendlyName);
    const auto info = PnPInfoFor(Bus().Plug(config, platform::sim::TBroadcast::No));
    EXPECT_EQ(info->FriendlyName(), "");
    EXPECT_EQ(info->DeviceDesc(), "HID-compliant device");
    EXPECT_EQ(info->Capabilities(), 0xA0U);
    EXPECT_FALSE(info->HardwareId().empty());
}

TEST_F(PnPInfoTest, HardwareIdWithTwoStringsKeepsBothInOrder) {
    TDeviceConfig config;
    config.Properties[property::kHardwareId] =
        TSimProperty::List({"HID\\VID_0416&PID_8249&REV_0100", "HID\\VID_0416&PID_8249"});
    const auto info = PnPInfoFor(Bus().Plug(config, platform::sim::TBroadcast::No));
    EXPECT_THAT(info->HardwareId(),
                ElementsAre("HID\\VID_0416&PID_8249&REV_0100", "HID\\VID_0416&PID_8249"));
}

// Properties that cannot be read into their buffer: the field keeps its preset.
TEST_F(PnPInfoTest, UnreadablePropertiesLeaveTheirPreset) {
    TDeviceConfig config;
    config.Properties.erase(property::kCapabilities);
    // Longer than the reader's buffer: the platform leaves the buffer untouched.
    config.Properties[property::kUiNumber] = TSimProperty::Binary(std::vector<BYTE>(8, 0x11));
    std::vector<std::string> longList(2000, std::string(15, 'x')); // 32001 bytes
    config.Properties[property::kHardwareId] = TSimProperty::List(longList);
    config.Properties[property::kDeviceDesc] = TSimProperty::Text(std::string(1024, 'd'));
    config.Properties[property::kMfg] = TSimProperty::Text(std::string(1023, 'm'));
    const auto info = PnPInfoFor(Bus().Plug(config, platform::sim::TBroadcast::No));

    EXPECT_EQ(info->Capabilities(), 0U);
    EXPECT_EQ(info->UiNumber(), 0U);
    EXPECT_THAT(info->HardwareId(), IsEmpty());
    EXPECT_EQ(info->DeviceDesc(), "");              // 1025 bytes with its terminator
    EXPECT_EQ(info->Mfg(), std::string(1023, 'm')); // fits exactly
}

TEST_F(PnPInfoTest, ListFillingItsWholeBufferIsReadToTheEnd) {
    TDeviceConfig config;
    // 1023 strings of 15 characters plus terminators, then one of 14 and the list's end:
    // exactly 16384 bytes.
    std::vector<std::string> texts(1023, std::string(15, 'a'));
    texts.emplace_back(14, 'b');
    config.Properties[property::kCompatibleIds] = TSimProperty::List(texts);
    ASSERT_EQ(config.Properties[property::kCompatibleIds].Data.size(), 16384U);
    const auto info = PnPInfoFor(Bus().Plug(config, platform::sim::TBroadcast::No));
    EXPECT_THAT(info->CompatibleIds(), ElementsAreArray(texts));
}

// Leaves a pattern in the stack below the caller's frame, where the record's readers put
// their buffers: a byte a reader did not clear then shows as 0x5A rather than happening to
// be zero. (valgrind and the memory sanitizer see such bytes without this.)
[[gnu::noinline]] void DirtyStack() {
    volatile char junk[64 * 1024];
    for (volatile char& byte : junk) {
        byte = 0x5A;
    }
}

// Binary properties carry no terminating zero: the readers must not run past their bytes.
TEST_F(PnPInfoTest, BinaryPropertiesWithoutAZeroByteEndWithTheirBytes) {
    const std::vector<BYTE> guid = {0x1E, 0xA1, 0x55, 0x4D, 0x6F, 0xF1, 0xCF, 0x11,
                                    0x88, 0xCB, 0x01, 0x11, 0x11, 0x22, 0x33, 0x44};
    TDeviceConfig config;
    config.Properties[property::kBusTypeGuid] = TSimProperty::Binary(guid);
    config.Properties[property::kHardwareId] = TSimProperty::Binary({'H', 'I', 'D'});
    const auto id = Bus().Plug(config, platform::sim::TBroadcast::No);

    DirtyStack();
    const auto info = PnPInfoFor(id);

    EXPECT_EQ(info->BusTypeGuid(), std::string(guid.begin(), guid.end()));
    EXPECT_THAT(info->HardwareId(), ElementsAre("HID"));
}

} // namespace
} // namespace hid::test
