#include "platform/PlatformServices.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>

namespace {

constexpr DWORD kFromSystem = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

// Wording differs between Windows, Wine and locales: only presence is checked.
TEST(SystemMessageText, KnownCodeHasAText) {
    std::array<char, 512> text{};
    const DWORD length = platform::Services().FormatMessageA(
        kFromSystem, nullptr, ERROR_GEN_FAILURE, 0, text.data(), text.size(), nullptr);
    EXPECT_GT(length, 0u);
    EXPECT_EQ(std::strlen(text.data()), length);
}

TEST(SystemMessageText, UnknownCodeHasNone) {
    // Codes with the customer bit are never the system's.
    constexpr DWORD kUnknown = 0x2000BEEFu;
    std::array<char, 512> text{};
    const DWORD length = platform::Services().FormatMessageA(kFromSystem, nullptr, kUnknown, 0,
                                                             text.data(), text.size(), nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_STREQ(text.data(), "");
    EXPECT_NE(platform::Services().GetLastError(), 0u);
}

TEST(SystemVersion, IsReported) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_TRUE(platform::Services().GetVersionExA(&info));
    EXPECT_GE(info.dwMajorVersion, 5u);
}

TEST(LastError, IsTheThreadsOwn) {
    auto& services = platform::Services();
    services.SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(::GetLastError(), DWORD{ERROR_DEVICE_NOT_CONNECTED});
    ::SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(services.GetLastError(), DWORD{ERROR_ACCESS_DENIED});
}

} // namespace
