#include "platform/linux/LinuxServices.h"

#include <cctype>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace {

struct ReleaseCase {
    const char* release;
    bool parsed;
    DWORD major;
    DWORD minor;
    DWORD build;
};

void PrintTo(const ReleaseCase& c, std::ostream* out) {
    *out << '"' << c.release << '"';
}

class KernelRelease : public testing::TestWithParam<ReleaseCase> {};

TEST_P(KernelRelease, GivesTheLeadingNumbers) {
    const ReleaseCase& c = GetParam();
    DWORD major = 99;
    DWORD minor = 99;
    DWORD build = 99;
    EXPECT_EQ(platform::linux_backend::ParseKernelRelease(c.release, major, minor, build),
              c.parsed);
    if (c.parsed) {
        EXPECT_EQ(major, c.major);
        EXPECT_EQ(minor, c.minor);
        EXPECT_EQ(build, c.build);
    }
}

INSTANTIATE_TEST_SUITE_P(Releases, KernelRelease,
                         testing::Values(ReleaseCase{"6.1.0-18-amd64", true, 6, 1, 0},
                                         ReleaseCase{"5.15.153.1-microsoft", true, 5, 15, 153},
                                         ReleaseCase{"4.19", true, 4, 19, 0},
                                         ReleaseCase{"10.2-rc1", true, 10, 2, 0},
                                         ReleaseCase{"6", false, 0, 0, 0},
                                         ReleaseCase{"", false, 0, 0, 0},
                                         ReleaseCase{"linux-6.1", false, 0, 0, 0}),
                         [](const testing::TestParamInfo<ReleaseCase>& info) {
                             // Letters and digits of the release; "Empty" for none.
                             std::string name;
                             for (const char* at = info.param.release; *at != '\0'; ++at) {
                                 const bool keep = std::isalnum(static_cast<unsigned char>(*at));
                                 name += keep ? *at : '_';
                             }
                             return name.empty() ? std::string("Empty") : "Release_" + name;
                         });

TEST(LinuxServices, VersionQueryChecksTheRecordSize) {
    platform::linux_backend::TLinuxServices services;
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(services.GetVersionExA(&info));
    EXPECT_EQ(services.GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    ASSERT_TRUE(services.GetVersionExA(&info));
    EXPECT_GT(info.dwMajorVersion, 1u);
}

TEST(PlatformServices, UnimplementedCallsFailWithNotImplemented) {
    platform::TPlatformServices services;
    EXPECT_EQ(services.LoadLibraryA("HID.dll"), nullptr);
    EXPECT_EQ(services.GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
    services.SetLastError(0);
    EXPECT_EQ(services.CreateFileA("x", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(services.GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);
}

} // namespace
