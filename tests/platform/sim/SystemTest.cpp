#include "tests/platform/sim/SimBusFixture.h"

#include <ostream>
#include <string>
#include <thread>

namespace platform::sim::testing {
namespace {

struct TMessageCase {
    DWORD code;
    const char* text;
};

void PrintTo(const TMessageCase& c, std::ostream* out) {
    *out << "code " << c.code;
}

class FormatMessageTest : public SimBusTest, public ::testing::WithParamInterface<TMessageCase> {
protected:
    DWORD Format(DWORD code, char* buffer, DWORD size, DWORD language = 0) {
        return Bus().FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, language, buffer, size, nullptr);
    }
};

TEST_P(FormatMessageTest, SystemTextEndsWithTheLineBreakThePlatformGives) {
    char buffer[256];
    const DWORD length = Format(GetParam().code, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), std::string(GetParam().text) + "\r\n");
    EXPECT_EQ(length, std::string(buffer).size());
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FormatMessageTest,
    ::testing::Values(
        TMessageCase{2, "The system cannot find the file specified."},
        TMessageCase{5, "Access is denied."}, TMessageCase{6, "The handle is invalid."},
        TMessageCase{31, "A device attached to the system is not functioning."},
        TMessageCase{87, "The parameter is incorrect."},
        TMessageCase{120, "This function is not supported on this system."},
        TMessageCase{122, "The data area passed to a system call is too small."},
        TMessageCase{126, "The specified module could not be found."},
        TMessageCase{995, "The I/O operation has been aborted because of either a thread exit "
                          "or an application request."},
        TMessageCase{996, "Overlapped I/O event is not in a signaled state."},
        TMessageCase{997, "Overlapped I/O operation is in progress."},
        TMessageCase{1167, "The device is not connected."},
        TMessageCase{1784, "The supplied user buffer is not valid for the requested operation."}),
    [](const auto& info) { return "Code" + std::to_string(info.param.code); });

TEST_F(FormatMessageTest, UnknownCodeHasNoText) {
    char buffer[256] = "untouched";
    EXPECT_EQ(Format(0x12345, buffer, sizeof buffer), 0u);
    EXPECT_EQ(Bus().GetLastError(), 317u); // ERROR_MR_MID_NOT_FOUND
}

TEST_F(FormatMessageTest, BufferTooSmallForTextAndZeroFails) {
    const std::string text = "Access is denied.\r\n";
    char buffer[64];
    EXPECT_EQ(Format(5, buffer, static_cast<DWORD>(text.size())), 0u);
    EXPECT_EQ(Bus().GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(Format(5, buffer, static_cast<DWORD>(text.size() + 1)), text.size());
}

TEST_F(FormatMessageTest, LanguagesOtherThanEnglishAreNotInTheTable) {
    char buffer[256];
    EXPECT_GT(Format(5, buffer, sizeof buffer, 0x0409), 0u);
    EXPECT_EQ(Format(5, buffer, sizeof buffer, 0x0407), 0u);
    EXPECT_EQ(Bus().GetLastError(), 1815u); // ERROR_RESOURCE_LANG_NOT_FOUND
}

class VersionTest : public SimBusTest {
protected:
    OSVERSIONINFOA Info() {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        return info;
    }
};

TEST_F(VersionTest, ReportsTheSetVersion) {
    OSVERSIONINFOA info = Info();
    ASSERT_TRUE(Bus().GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, 6u);
    Bus().SetVersion(5, 1, 2600);
    ASSERT_TRUE(Bus().GetVersionExA(&info));
    EXPECT_EQ(info.dwMajorVersion, 5u);
    EXPECT_EQ(info.dwMinorVersion, 1u);
    EXPECT_EQ(info.dwBuildNumber, 2600u);
    EXPECT_EQ(info.dwPlatformId, 2u);
}

TEST_F(VersionTest, QueryCanFailAndChecksTheRecordSize) {
    OSVERSIONINFOA info = Info();
    info.dwOSVersionInfoSize = 100;
    EXPECT_FALSE(Bus().GetVersionExA(&info));
    EXPECT_EQ(Bus().GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    Bus().FailVersionQuery(ERROR_GEN_FAILURE);
    info = Info();
    EXPECT_FALSE(Bus().GetVersionExA(&info));
    EXPECT_EQ(Bus().GetLastError(), ERROR_GEN_FAILURE);
}

TEST_F(VersionTest, LastErrorIsKeptPerThread) {
    Bus().SetLastError(ERROR_GEN_FAILURE);
    DWORD seen = 0xFFFF;
    std::thread other([&] { seen = Bus().GetLastError(); });
    other.join();
    EXPECT_EQ(seen, ERROR_SUCCESS);
    EXPECT_EQ(Bus().GetLastError(), ERROR_GEN_FAILURE);
}

} // namespace
} // namespace platform::sim::testing
