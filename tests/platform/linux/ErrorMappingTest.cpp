#include "platform/PlatformServices.h"
#include "platform/linux/ErrnoMapping.h"
#include "platform/linux/LinuxServices.h"
#include "platform/linux/Utf16.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace platform::linux_backend {
namespace {

struct ErrnoCase {
    int error;
    DWORD code;
};

void PrintTo(const ErrnoCase& c, std::ostream* out) {
    *out << strerrorname_np(c.error);
}

class ErrnoMapping : public ::testing::TestWithParam<ErrnoCase> {};

TEST_P(ErrnoMapping, GivesThePlatformCodeWithASystemText) {
    const DWORD code = ErrorFromErrno(GetParam().error);
    EXPECT_EQ(code, GetParam().code);
    TLinuxServices services;
    char text[256] = {};
    EXPECT_GT(services.FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, sizeof text, nullptr),
              0u)
        << "no message text for " << code;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ErrnoMapping,
    ::testing::Values(
        ErrnoCase{ENOENT, ERROR_FILE_NOT_FOUND}, ErrnoCase{ENOTDIR, ERROR_PATH_NOT_FOUND},
        ErrnoCase{EACCES, ERROR_ACCESS_DENIED}, ErrnoCase{EPERM, ERROR_ACCESS_DENIED},
        ErrnoCase{EBADF, ERROR_INVALID_HANDLE}, ErrnoCase{ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
        ErrnoCase{EPIPE, ERROR_GEN_FAILURE}, ErrnoCase{EPROTO, ERROR_GEN_FAILURE},
        ErrnoCase{EISDIR, ERROR_GEN_FAILURE}, ErrnoCase{EINVAL, ERROR_INVALID_PARAMETER},
        ErrnoCase{ECANCELED, ERROR_OPERATION_ABORTED}, ErrnoCase{EIO, ERROR_DEVICE_NOT_CONNECTED},
        ErrnoCase{ENODEV, ERROR_DEVICE_NOT_CONNECTED}, ErrnoCase{ENXIO, ERROR_DEVICE_NOT_CONNECTED},
        ErrnoCase{ENOSYS, ERROR_CALL_NOT_IMPLEMENTED},
        ErrnoCase{ENOBUFS, ERROR_INSUFFICIENT_BUFFER}, ErrnoCase{EFAULT, ERROR_INVALID_USER_BUFFER},
        ErrnoCase{EBUSY, 32}, ErrnoCase{ETIMEDOUT, 121}));

// Codes the backend reports without an errno behind them.
class BackendCodes : public ::testing::TestWithParam<DWORD> {};

TEST_P(BackendCodes, HaveTheSystemsEnglishText) {
    TLinuxServices services;
    char text[256] = {};
    const DWORD stored =
        services.FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                GetParam(), 0, text, sizeof text, nullptr);
    EXPECT_GT(stored, 0u);
    EXPECT_TRUE(std::string(text).ends_with(".\r\n")) << text;
}

INSTANTIATE_TEST_SUITE_P(Codes, BackendCodes,
                         ::testing::Values(2, 5, 6, 31, 87, 995, 1167, 120, 122, 126, 127, 259, 996,
                                           1784));

TEST(SystemMessages, NameTheDeviceNotConnectedError) {
    TLinuxServices services;
    char text[64] = {};
    ASSERT_GT(services.FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 1167, 0, text,
                                      sizeof text, nullptr),
              0u);
    EXPECT_STREQ(text, "The device is not connected.\r\n");
    EXPECT_EQ(services.FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0xDEAD, 0, text,
                                      sizeof text, nullptr),
              0u);
    EXPECT_EQ(services.GetLastError(), 317u);
}

struct Utf16Case {
    std::string utf8;
    std::u16string utf16;
};

// The bytes as ASCII, others as %NN: one line, the same on every build.
void PrintTo(const Utf16Case& c, std::ostream* out) {
    for (const char byte : c.utf8) {
        const auto code = static_cast<unsigned char>(byte);
        if (code >= 0x20 && code < 0x7F) {
            *out << byte;
        } else {
            constexpr char kHex[] = "0123456789ABCDEF";
            *out << '%' << kHex[code >> 4] << kHex[code & 0xF];
        }
    }
}

class Utf16Conversion : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16Conversion, KeepsTextAndReplacesMalformedBytes) {
    EXPECT_EQ(Utf16FromUtf8(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf16Conversion,
                         ::testing::Values(Utf16Case{"VUZ Device", u"VUZ Device"},
                                           Utf16Case{"Gr\xC3\xBC\xC3\x9F", u"Gr\u00FC\u00DF"},
                                           Utf16Case{"\xE2\x82\xAC", u"\u20AC"},
                                           Utf16Case{"\xF0\x9F\x94\x8C", u"\U0001F50C"},
                                           Utf16Case{"a\xFF"
                                                     "b",
                                                     u"a\uFFFDb"},
                                           Utf16Case{"\xC0\xAF", u"\uFFFD\uFFFD"},
                                           Utf16Case{"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                                           Utf16Case{"\xE2\x82", u"\uFFFD\uFFFD"}));

} // namespace
} // namespace platform::linux_backend
