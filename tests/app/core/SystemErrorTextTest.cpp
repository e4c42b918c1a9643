#include "app/core/SystemErrorText.h"

#include "FixedVersionServices.h"
#include "platform/sim/ScopedSimBus.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace {

// Answers FormatMessageA with a given text and remembers how it was asked.
class TMessageServices : public platform::TPlatformServices {
public:
    explicit TMessageServices(std::string text) : text(std::move(text)) {}

    DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                         LPSTR buffer, DWORD size, void* arguments) override {
        seenFlags = flags;
        seenLanguage = languageId;
        seenSize = size;
        seenId = messageId;
        if (source != nullptr || arguments != nullptr || text.size() + 1 > size) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return static_cast<DWORD>(text.size());
    }

    std::string text;
    DWORD seenFlags = 0;
    DWORD seenLanguage = 0xFFFF;
    DWORD seenSize = 0;
    DWORD seenId = 0;
};

struct TTrimCase {
    const char* name;
    std::string raw;
    std::string shown;
};

void PrintTo(const TTrimCase& c, std::ostream* out) {
    *out << c.name;
}

class SystemErrorTextTrimTest : public testing::TestWithParam<TTrimCase> {};

TEST_P(SystemErrorTextTrimTest, TrailingStopsBlanksAndControlCharactersGo) {
    auto services = std::make_unique<TMessageServices>(GetParam().raw);
    TMessageServices* seen = services.get();
    TServicesInstallation installed(std::move(services));

    EXPECT_EQ(app::SystemErrorText(1234), GetParam().shown);
    EXPECT_EQ(seen->seenFlags, FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS);
    EXPECT_EQ(seen->seenLanguage, 0x0400U) << "the default language";
    EXPECT_EQ(seen->seenSize, 256U);
    EXPECT_EQ(seen->seenId, 1234U);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SystemErrorTextTrimTest,
    testing::Values(TTrimCase{"LineEnd", "The handle is invalid.\r\n", "The handle is invalid"},
                    TTrimCase{"Mixed", "Odd text. . \t\x7f\r\n", "Odd text"},
                    TTrimCase{"InnerStopsStay", "Version 1.0 of a.b", "Version 1.0 of a.b"},
                    TTrimCase{"OnlyTrimmed", "..  \r\n", ""}, TTrimCase{"Empty", "", ""},
                    TTrimCase{"Longest", std::string(255, 'x'), std::string(255, 'x')},
                    TTrimCase{"TooLong", std::string(256, 'x'), ""}),
    [](const testing::TestParamInfo<TTrimCase>& info) { return info.param.name; });

struct TLineCase {
    const char* prefix;
    DWORD code;
    std::string line;
};

void PrintTo(const TLineCase& c, std::ostream* out) {
    *out << c.prefix << ' ' << c.code;
}

class IoErrorLineTest : public testing::TestWithParam<TLineCase> {
protected:
    platform::sim::TScopedSimBus sim; // the system's own message table
};

TEST_P(IoErrorLineTest, CarriesTheSystemTextAndTheCodeInUpperCaseHex) {
    const TLineCase& c = GetParam();
    EXPECT_EQ(app::IoErrorLine(c.prefix, c.code), c.line);
}

// "WriteError1F"
std::string LineCaseName(const testing::TestParamInfo<TLineCase>& info) {
    std::string name;
    bool upper = true;
    for (const char* p = info.param.prefix; *p != '\0'; ++p) {
        if (*p == ' ') {
            upper = true;
            continue;
        }
        name += upper ? *p : static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
        upper = false;
    }
    std::array<char, 12> code{};
    std::snprintf(code.data(), code.size(), "%lX", static_cast<unsigned long>(info.param.code));
    return name + code.data();
}

INSTANTIATE_TEST_SUITE_P(
    Codes, IoErrorLineTest,
    testing::Values(
        TLineCase{"WRITE ERROR", 31,
                  "WRITE ERROR: A device attached to the system is not functioning (1F)"},
        TLineCase{"READ ERROR", 1167, "READ ERROR: The device is not connected (48F)"},
        TLineCase{"WRITE ERROR", 1784,
                  "WRITE ERROR: The supplied user buffer is not valid for the requested "
                  "operation (6F8)"},
        TLineCase{"READ ERROR", 0xDEADBEEF, "READ ERROR:  (DEADBEEF)"},
        TLineCase{"READ ERROR", 0xABC, "READ ERROR:  (ABC)"}),
    LineCaseName);

} // namespace
