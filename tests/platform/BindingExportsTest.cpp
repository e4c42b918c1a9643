#include "platform/HidExports.h"
#include "platform/SetupApiExports.h"

#include <gtest/gtest.h>
#include <ostream>
#include <set>
#include <string>

namespace {

using platform::TEntryName;
using platform::TExportFunction;

struct FunctionCounts {
    int withForms = 0;
    int withFormsTwice = 0;
    int withoutForms = 0;
    int withoutFormsTwice = 0;
};

FunctionCounts Count(std::span<const TExportFunction> functions) {
    FunctionCounts counts;
    for (const TExportFunction& f : functions) {
        (f.HasForms ? counts.withForms : counts.withoutForms) += 1;
        if (f.Copies == 2) {
            (f.HasForms ? counts.withFormsTwice : counts.withoutFormsTwice) += 1;
        }
    }
    return counts;
}

// Entries that a function stands for, in table order, worked out independently of the lists'
// macros.
std::vector<std::pair<std::string, std::string>> Expand(std::span<const TExportFunction> fs) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (const TExportFunction& f : fs) {
        const std::string name = f.Name;
        if (f.HasForms) {
            for (const auto& [entry, exported] : {std::pair{name + "A", name + "A"},
                                                  {name + "W", name + "W"},
                                                  {name, name + "A"}}) {
                for (int copy = 0; copy < f.Copies; ++copy) {
                    entries.emplace_back(entry, exported);
                }
            }
        } else {
            for (int copy = 0; copy < f.Copies; ++copy) {
                entries.emplace_back(name, name);
            }
        }
    }
    return entries;
}

void ExpectEntriesFollowTheNamingRule(std::span<const TExportFunction> functions,
                                      std::span<const TEntryName> entries,
                                      std::span<const char* const> exports) {
    const auto expected = Expand(functions);
    ASSERT_EQ(entries.size(), expected.size());
    std::set<std::string> used;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].Entry, expected[i].first) << "entry " << i;
        EXPECT_EQ(entries[i].Export, expected[i].second) << "entry " << i;
        used.insert(entries[i].Export);
    }
    const std::set<std::string> distinct(exports.begin(), exports.end());
    EXPECT_EQ(distinct.size(), exports.size()) << "an export is listed twice";
    EXPECT_EQ(used, distinct) << "the exports are exactly those the entries are bound to";
}

TEST(SetupApiExports, HaveTheTableShape) {
    EXPECT_EQ(platform::SetupApiExportNames().size(), 271u);
    EXPECT_EQ(platform::SetupApiEntryNames().size(), 396u);
    const FunctionCounts counts = Count(platform::SetupApiFunctions());
    EXPECT_EQ(counts.withForms, 106);
    EXPECT_EQ(counts.withFormsTwice, 4);
    EXPECT_EQ(counts.withoutForms, 59);
    EXPECT_EQ(counts.withoutFormsTwice, 7);
    ExpectEntriesFollowTheNamingRule(platform::SetupApiFunctions(), platform::SetupApiEntryNames(),
                                     platform::SetupApiExportNames());
}

TEST(HidExports, HaveTheTableShape) {
    EXPECT_EQ(platform::HidExportNames().size(), 37u);
    EXPECT_EQ(platform::HidEntryNames().size(), 42u);
    const FunctionCounts counts = Count(platform::HidFunctions());
    EXPECT_EQ(counts.withForms, 0);
    EXPECT_EQ(counts.withoutForms, 37);
    EXPECT_EQ(counts.withoutFormsTwice, 5);
    ExpectEntriesFollowTheNamingRule(platform::HidFunctions(), platform::HidEntryNames(),
                                     platform::HidExportNames());
}

struct Anchor {
    std::size_t index;
    const char* entry;
    const char* exported;
};

void PrintTo(const Anchor& a, std::ostream* out) {
    *out << a.entry << " at " << a.index;
}

class SetupApiAnchors : public testing::TestWithParam<Anchor> {};

TEST_P(SetupApiAnchors, SitWhereTheTableHasThem) {
    const Anchor& a = GetParam();
    ASSERT_LT(a.index, platform::SetupApiEntryCount);
    EXPECT_STREQ(platform::kSetupApiEntryNames[a.index].Entry, a.entry);
    EXPECT_STREQ(platform::kSetupApiEntryNames[a.index].Export, a.exported);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SetupApiAnchors,
    testing::Values(Anchor{0, "SetupGetInfInformationA", "SetupGetInfInformationA"},
                    Anchor{2, "SetupGetInfInformation", "SetupGetInfInformationA"},
                    // Six entries: ANSI, ANSI, wide, wide, generic, generic.
                    Anchor{210, "SetupDiCreateDeviceInterfaceA", "SetupDiCreateDeviceInterfaceA"},
                    Anchor{211, "SetupDiCreateDeviceInterfaceA", "SetupDiCreateDeviceInterfaceA"},
                    Anchor{212, "SetupDiCreateDeviceInterfaceW", "SetupDiCreateDeviceInterfaceW"},
                    Anchor{214, "SetupDiCreateDeviceInterface", "SetupDiCreateDeviceInterfaceA"},
                    Anchor{215, "SetupDiCreateDeviceInterface", "SetupDiCreateDeviceInterfaceA"},
                    // The last function with forms closes at 106 * 3 + 4 * 3 = 330.
                    Anchor{329, "SetupDiGetActualSectionToInstall",
                           "SetupDiGetActualSectionToInstallA"},
                    Anchor{330, "SetupOpenMasterInf", "SetupOpenMasterInf"},
                    Anchor{395, "SetupDiSetSelectedDevice", "SetupDiSetSelectedDevice"}),
    [](const testing::TestParamInfo<Anchor>& info) {
        return "Entry" + std::to_string(info.param.index);
    });

TEST(SetupApiExports, CalledEntriesAreBoundToTheirExports) {
    using platform::SetupApiEntryIndex;
    const auto exportOf = [](std::size_t index) {
        return std::string(platform::kSetupApiEntryNames[index].Export);
    };
    EXPECT_EQ(exportOf(SetupApiEntryIndex("SetupDiGetClassDevs")), "SetupDiGetClassDevsA");
    EXPECT_EQ(exportOf(SetupApiEntryIndex("SetupDiGetDeviceRegistryProperty")),
              "SetupDiGetDeviceRegistryPropertyA");
    // A name's first copy comes before its second.
    EXPECT_EQ(SetupApiEntryIndex("SetupDiEnumDeviceInterfaces", 1),
              SetupApiEntryIndex("SetupDiEnumDeviceInterfaces") + 1);
    EXPECT_EQ(SetupApiEntryIndex("SetupDiGetDeviceInterfaceDetailA", 1),
              SetupApiEntryIndex("SetupDiGetDeviceInterfaceDetailA") + 1);
}

TEST(HidExports, DoubledEntriesFollowEachOther) {
    EXPECT_STREQ(platform::kHidEntryNames[0].Entry, "HidD_Hello");
    EXPECT_STREQ(platform::kHidEntryNames[41].Entry, "HidP_TranslateUsagesToI8042ScanCodes");
    EXPECT_EQ(platform::HidEntryIndex("HidP_GetUsages"), 24u);
    EXPECT_EQ(platform::HidEntryIndex("HidP_GetUsages", 1), 25u);
    EXPECT_EQ(platform::HidEntryIndex("HidP_MaxUsageListLength", 1), 33u);
    EXPECT_EQ(platform::HidEntryIndex("HidP_GetUsageValue"), 34u);
}

} // namespace
