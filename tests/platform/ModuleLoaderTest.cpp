#include "platform/ModuleLoader.h"

#include "BindingFakeServices.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace {

using bindingtest::TInstalledFake;
using platform::LibraryHandle;

constexpr const char* kExports[] = {"CancelIo", "Other"};

class ModuleLoader : public testing::Test {
protected:
    ModuleLoader() { fake->AddModule("kernel32.dll", kExports); }
    TInstalledFake fake;
};

TEST_F(ModuleLoader, BindLoadsIntoAnEmptyHandle) {
    LibraryHandle handle = nullptr;
    EXPECT_TRUE(platform::BindLibrary(handle, "KERNEL32.DLL"));
    EXPECT_EQ(handle, fake->HandleOf("kernel32.dll"));
    EXPECT_EQ(fake->References("kernel32.dll"), 1);
    platform::ReleaseLibrary(handle);
}

TEST_F(ModuleLoader, BindOfAMissingLibraryLeavesTheHandleEmpty) {
    LibraryHandle handle = nullptr;
    EXPECT_FALSE(platform::BindLibrary(handle, "missing.dll"));
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(fake->LoadCalls, 1);
}

TEST_F(ModuleLoader, BindWithAHeldHandleLoadsNothing) {
    LibraryHandle handle = nullptr;
    ASSERT_TRUE(platform::BindLibrary(handle, "kernel32.dll"));
    const LibraryHandle held = handle;
    EXPECT_TRUE(platform::BindLibrary(handle, "kernel32.dll"));
    EXPECT_EQ(handle, held);
    EXPECT_EQ(fake->LoadCalls, 1);
    EXPECT_EQ(fake->References("kernel32.dll"), 1);

    // Whatever the handle holds, even a library that does not exist.
    LibraryHandle other = reinterpret_cast<LibraryHandle>(std::uintptr_t{0x42});
    EXPECT_TRUE(platform::BindLibrary(other, "missing.dll"));
    EXPECT_EQ(other, reinterpret_cast<LibraryHandle>(std::uintptr_t{0x42}));
    EXPECT_EQ(fake->LoadCalls, 1);
    platform::ReleaseLibrary(handle);
}

TEST_F(ModuleLoader, ReleaseGivesTheLibraryUpOnceAndEmptiesTheHandle) {
    LibraryHandle handle = nullptr;
    ASSERT_TRUE(platform::BindLibrary(handle, "kernel32.dll"));
    platform::ReleaseLibrary(handle);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(fake->FreeCalls, 1);
    EXPECT_EQ(fake->References("kernel32.dll"), 0);

    platform::ReleaseLibrary(handle);
    EXPECT_EQ(fake->FreeCalls, 1);
}

TEST_F(ModuleLoader, ReleaseEmptiesTheHandleWhenThePlatformRefuses) {
    LibraryHandle handle = reinterpret_cast<LibraryHandle>(std::uintptr_t{0x42});
    platform::ReleaseLibrary(handle);
    EXPECT_EQ(fake->FreeCalls, 1);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(ModuleLoader, FindGivesTheExportOrNull) {
    LibraryHandle handle = nullptr;
    ASSERT_TRUE(platform::BindLibrary(handle, "kernel32.dll"));
    EXPECT_EQ(platform::FindLibrarySymbol(handle, "CancelIo"),
              fake->AddressOf("kernel32.dll", "CancelIo"));
    EXPECT_EQ(platform::FindLibrarySymbol(handle, "CancelIoEx"), nullptr);
    platform::ReleaseLibrary(handle);
}

TEST_F(ModuleLoader, FindWithAnEmptyHandleCallsNothing) {
    EXPECT_EQ(platform::FindLibrarySymbol(nullptr, "CancelIo"), nullptr);
    bool found = true;
    EXPECT_EQ(platform::FindRequiredSymbol(nullptr, "CancelIo", found), nullptr);
    EXPECT_FALSE(found);
    EXPECT_EQ(fake->LookUpCalls, 0);
}

TEST_F(ModuleLoader, ScopedLibraryHoldsForItsScope) {
    {
        platform::TScopedLibrary library("kernel32.dll");
        ASSERT_TRUE(library);
        EXPECT_EQ(library.Find("CancelIo"), fake->AddressOf("kernel32.dll", "CancelIo"));
        EXPECT_EQ(fake->References("kernel32.dll"), 1);
    }
    EXPECT_EQ(fake->References("kernel32.dll"), 0);

    platform::TScopedLibrary missing("missing.dll");
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.Find("CancelIo"), nullptr);
    EXPECT_EQ(fake->LookUpCalls, 1);
}

struct RequiredCase {
    bool flagBefore;
    const char* exportName;
    bool addressExpected;
    bool flagAfter;
};

void PrintTo(const RequiredCase& c, std::ostream* out) {
    *out << c.exportName << (c.flagBefore ? " with the flag set" : " with the flag clear");
}

class RequiredSymbol : public ModuleLoader, public testing::WithParamInterface<RequiredCase> {};

TEST_P(RequiredSymbol, FoldsTheOutcomeIntoTheFlag) {
    const RequiredCase& c = GetParam();
    LibraryHandle handle = nullptr;
    ASSERT_TRUE(platform::BindLibrary(handle, "kernel32.dll"));
    bool flag = c.flagBefore;
    const FARPROC address = platform::FindRequiredSymbol(handle, c.exportName, flag);
    EXPECT_EQ(address != nullptr, c.addressExpected);
    EXPECT_EQ(flag, c.flagAfter);
    EXPECT_EQ(fake->LookUpCalls, 1);
    platform::ReleaseLibrary(handle);
}

INSTANTIATE_TEST_SUITE_P(Outcomes, RequiredSymbol,
                         testing::Values(RequiredCase{true, "CancelIo", true, true},
                                         RequiredCase{true, "Missing", false, false},
                                         // Once false, a later find does not set it back.
                                         RequiredCase{false, "CancelIo", true, false},
                                         RequiredCase{false, "Missing", false, false}),
                         [](const testing::TestParamInfo<RequiredCase>& info) {
                             return std::string(info.param.exportName) +
                                    (info.param.flagBefore ? "FlagSet" : "FlagClear");
                         });

} // namespace
