// What both bindings share: all or nothing, every export looked up in table order.
#include "BindingFakeServices.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace {

using bindingtest::BindingTest;

struct Library {
    const char* fileName;
    std::span<const platform::TEntryName> entries;
    bool (*bind)();
    void (*release)();
    std::span<const FARPROC> (*addresses)();
    platform::LibraryHandle (*handle)();
};

const Library kSetupApi{
    "SetupApi.dll",
    platform::SetupApiEntryNames(),
    platform::BindSetupApi,
    platform::ReleaseSetupApi,
    [] { return std::span<const FARPROC>(platform::SetupApiEntries().Address); },
    platform::SetupApiLibrary};

const Library kHid{"HID.dll",
                   platform::HidEntryNames(),
                   platform::BindHid,
                   platform::ReleaseHid,
                   [] { return std::span<const FARPROC>(platform::HidEntries().Address); },
                   platform::HidLibrary};

void PrintTo(const Library* library, std::ostream* os) {
    *os << library->fileName;
}

std::vector<std::string> ExportsInTableOrder(const Library& library) {
    std::vector<std::string> names;
    for (const platform::TEntryName& entry : library.entries) {
        names.emplace_back(entry.Export);
    }
    return names;
}

bool AllNull(std::span<const FARPROC> addresses) {
    return std::all_of(addresses.begin(), addresses.end(),
                       [](FARPROC address) { return address == nullptr; });
}

class EveryBinding : public BindingTest, public testing::WithParamInterface<const Library*> {};

TEST_P(EveryBinding, BindsEachEntryToItsExportInTableOrder) {
    const Library& library = *GetParam();
    ASSERT_TRUE(library.bind());
    EXPECT_EQ(library.handle(), fake->HandleOf(library.fileName));
    EXPECT_EQ(fake->LoadCalls, 1);
    EXPECT_EQ(fake->LookUpOrder, ExportsInTableOrder(library));
    const auto addresses = library.addresses();
    for (std::size_t i = 0; i < library.entries.size(); ++i) {
        EXPECT_EQ(addresses[i], fake->AddressOf(library.fileName, library.entries[i].Export))
            << "entry " << i << " " << library.entries[i].Entry;
    }

    library.release();
    EXPECT_EQ(library.handle(), nullptr);
    EXPECT_EQ(fake->References(library.fileName), 0);
    EXPECT_TRUE(AllNull(library.addresses()));
}

TEST_P(EveryBinding, AMissingLibraryLeavesNothingBound) {
    const Library& library = *GetParam();
    fake->RemoveModule(library.fileName);
    EXPECT_FALSE(library.bind());
    EXPECT_EQ(fake->LoadCalls, 1);
    EXPECT_EQ(fake->LookUpCalls, 0);
    EXPECT_EQ(library.handle(), nullptr);
    EXPECT_TRUE(AllNull(library.addresses()));
    EXPECT_EQ(platform::SetupApiBindCount(), 0);
    EXPECT_FALSE(platform::HidBound());
}

TEST_P(EveryBinding, BindsAgainAfterAFailedBind) {
    const Library& library = *GetParam();
    const std::string missing = library.entries.back().Export;
    const FARPROC address = fake->AddressOf(library.fileName, missing);
    fake->RemoveExport(library.fileName, missing);
    ASSERT_FALSE(library.bind());

    fake->SetExport(library.fileName, missing, address);
    ASSERT_TRUE(library.bind());
    EXPECT_EQ(fake->LoadCalls, 2);
    EXPECT_EQ(fake->References(library.fileName), 1);
    EXPECT_EQ(library.addresses().back(), address);
}

INSTANTIATE_TEST_SUITE_P(Libraries, EveryBinding, testing::Values(&kSetupApi, &kHid),
                         [](const testing::TestParamInfo<const Library*>& info) {
                             return info.param == &kHid ? std::string("Hid")
                                                        : std::string("SetupApi");
                         });

struct MissingExport {
    const Library* library;
    const char* exportName;
};

void PrintTo(const MissingExport& missing, std::ostream* os) {
    *os << missing.library->fileName << " without " << missing.exportName;
}

class OneExportMissing : public BindingTest, public testing::WithParamInterface<MissingExport> {};

TEST_P(OneExportMissing, LooksEveryExportUpAndLeavesNothingBound) {
    const Library& library = *GetParam().library;
    fake->RemoveExport(library.fileName, GetParam().exportName);

    EXPECT_FALSE(library.bind());
    EXPECT_EQ(fake->LookUpOrder, ExportsInTableOrder(library));
    EXPECT_EQ(library.handle(), nullptr);
    EXPECT_TRUE(AllNull(library.addresses()));
    EXPECT_EQ(fake->LoadCalls, 1);
    EXPECT_EQ(fake->References(library.fileName), 0);
    EXPECT_EQ(platform::SetupApiBindCount(), 0);
    EXPECT_FALSE(platform::HidBound());
}

INSTANTIATE_TEST_SUITE_P(
    Exports, OneExportMissing,
    testing::Values(MissingExport{&kSetupApi, "SetupGetInfInformationA"},
                    MissingExport{&kSetupApi, "SetupOpenInfFileW"},
                    MissingExport{&kSetupApi, "SetupDiGetClassDevsA"},
                    MissingExport{&kSetupApi, "SetupDiEnumDeviceInfo"},
                    MissingExport{&kSetupApi, "SetupDiEnumDeviceInterfaces"},
                    MissingExport{&kSetupApi, "SetupDiGetDeviceInterfaceDetailW"},
                    MissingExport{&kSetupApi, "SetupDiSetSelectedDevice"},
                    MissingExport{&kHid, "HidD_Hello"}, MissingExport{&kHid, "HidP_GetCaps"},
                    MissingExport{&kHid, "HidP_GetUsages"},
                    MissingExport{&kHid, "HidP_TranslateUsagesToI8042ScanCodes"}),
    [](const testing::TestParamInfo<MissingExport>& info) {
        return std::string(info.param.exportName);
    });

// The generic entry holds the ANSI function and the copies of a doubled entry are equal.
TEST_F(BindingTest, EntriesOfOneFunctionShareTheirExports) {
    ASSERT_TRUE(platform::BindSetupApi());
    const auto& address = platform::SetupApiEntries().Address;
    std::size_t i = 0;
    for (const platform::TExportFunction& f : platform::SetupApiFunctions()) {
        const auto copies = static_cast<std::size_t>(f.Copies);
        const FARPROC first = address[i];
        EXPECT_NE(first, nullptr);
        for (std::size_t c = 1; c < copies; ++c) {
            EXPECT_EQ(address[i + c], first) << f.Name;
        }
        if (f.HasForms) {
            const FARPROC wide = address[i + copies];
            EXPECT_NE(wide, first) << f.Name;
            for (std::size_t c = 0; c < copies; ++c) {
                EXPECT_EQ(address[i + copies + c], wide) << f.Name;
                EXPECT_EQ(address[i + 2 * copies + c], first) << f.Name << " generic";
            }
            i += 3 * copies;
        } else {
            i += copies;
        }
    }
    EXPECT_EQ(i, platform::SetupApiEntryCount);
}

} // namespace
