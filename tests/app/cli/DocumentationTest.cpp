// The command line is described in four places: --help, the manual page, the README and the
// Windows download's README.txt. They must give the same exit codes with the same meanings,
// and the same range for --wait.
#include "app/cli/Arguments.h"
#include "tests/app/cli/UsageExitCodes.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace clitest {
namespace {

using TExitCodes = std::map<int, std::string>;

std::string ReadSourceFile(const std::string& relative) {
    std::ifstream file(std::string(VUZ_SOURCE_DIR) + "/" + relative);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// One space between words; no Markdown code marks, no roff escapes for hyphens.
std::string Plain(std::string text) {
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    text = std::regex_replace(text, std::regex("`"), "");
    text = std::regex_replace(text, std::regex(R"(\s+)"), " ");
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

TExitCodes ReadmeExitCodes() {
    TExitCodes codes;
    std::istringstream readme(ReadSourceFile("README.md"));
    const std::regex row(R"(^\| (\d+) \| (.*) \|$)");
    std::string line;
    bool inTable = false;
    while (std::getline(readme, line)) {
        std::smatch match;
        if (line == "| code | meaning |") {
            inTable = true;
        } else if (inTable && std::regex_match(line, match, row)) {
            codes[std::stoi(match[1])] = Plain(match[2]);
        } else if (inTable && line.rfind('|', 0) != 0) {
            break;
        }
    }
    return codes;
}

TExitCodes ManualExitCodes() {
    TExitCodes codes;
    std::istringstream page(ReadSourceFile("packaging/man/vuz-cli.1"));
    std::string line;
    bool inSection = false;
    int code = -1;
    while (std::getline(page, line)) {
        if (line.rfind(".SH", 0) == 0) {
            inSection = line == ".SH EXIT STATUS";
            code = -1;
        } else if (!inSection || line == ".TP") {
            code = -1;
        } else if (line.rfind(".B ", 0) == 0 && code < 0) {
            code = std::stoi(line.substr(3));
            codes[code] = "";
        } else if (code >= 0) {
            codes[code] = Plain(codes[code] + " " + line);
        }
    }
    return codes;
}

TExitCodes WindowsReadmeExitCodes() {
    TExitCodes codes;
    std::istringstream readme(ReadSourceFile("packaging/windows/README.txt"));
    const std::regex entry(R"(^   (\d+) +(\S.*)$)");
    const std::regex continued(R"(^        +(\S.*)$)");
    std::string line;
    bool inList = false;
    int code = -1;
    while (std::getline(readme, line)) {
        std::smatch match;
        if (line.rfind("Exit codes", 0) == 0) {
            inList = true;
        } else if (inList && std::regex_match(line, match, entry)) {
            code = std::stoi(match[1]);
            codes[code] = Plain(match[2]);
        } else if (inList && code >= 0 && std::regex_match(line, match, continued)) {
            codes[code] = Plain(codes[code] + " " + match[1].str());
        } else if (inList && code >= 0 && !line.empty()) {
            break;
        }
    }
    return codes;
}

struct TDocument {
    const char* Name;
    TExitCodes (*ExitCodes)();
    const char* File;
};

void PrintTo(const TDocument& document, std::ostream* out) {
    *out << document.Name;
}

class Documentation : public testing::TestWithParam<TDocument> {};

// Each document may explain more, after the meaning --help gives.
TEST_P(Documentation, GivesTheExitCodesOfHelp) {
    const TExitCodes help = UsageExitCodes();
    ASSERT_GE(help.size(), 2u) << cli::Usage();
    const TExitCodes documented = GetParam().ExitCodes();
    for (const auto& [code, meaning] : help) {
        const auto found = documented.find(code);
        ASSERT_NE(found, documented.end()) << "exit code " << code << " is missing";
        EXPECT_EQ(found->second.substr(0, Plain(meaning).size()), Plain(meaning))
            << "exit code " << code;
    }
    for (const auto& [code, meaning] : documented) {
        EXPECT_TRUE(help.contains(code)) << "exit code " << code << " is not in --help";
    }
}

TEST_P(Documentation, GivesTheRangeOfWait) {
    EXPECT_NE(Plain(cli::Usage()).find("0 to 86400, fractions allowed"), std::string::npos);
    EXPECT_NE(Plain(ReadSourceFile(GetParam().File)).find("0 to 86400"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cli, Documentation,
                         testing::Values(TDocument{"Readme", ReadmeExitCodes, "README.md"},
                                         TDocument{"ManualPage", ManualExitCodes,
                                                   "packaging/man/vuz-cli.1"},
                                         TDocument{"WindowsReadme", WindowsReadmeExitCodes,
                                                   "packaging/windows/README.txt"}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace clitest
