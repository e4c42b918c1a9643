#include "platform/Hid.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

// This program runs beside a HID.dll of its own that lacks "HidD_Hello".
TEST(LackingHidLibrary, IsTheOneLoaded) {
    const platform::TScopedLibrary library("HID.dll");
    ASSERT_TRUE(library);
    EXPECT_EQ(library.Find("HidD_Hello"), nullptr);
    EXPECT_NE(library.Find("HidD_GetHidGuid"), nullptr);
}

TEST(LackingHidLibrary, BindFailsAndLeavesNothingBound) {
    EXPECT_FALSE(platform::BindHid());
    EXPECT_FALSE(platform::HidBound());
    EXPECT_EQ(platform::HidLibrary(), nullptr);
    const auto& entries = platform::HidEntries().Address;
    EXPECT_TRUE(std::all_of(entries.begin(), entries.end(),
                            [](FARPROC entry) { return entry == nullptr; }));
}

} // namespace
