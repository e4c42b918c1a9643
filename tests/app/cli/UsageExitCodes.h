// The exit codes that vuz-cli --help lists, with their meanings.
#pragma once

#include "app/cli/Arguments.h"

#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace clitest {

inline std::map<int, std::string> UsageExitCodes() {
    std::map<int, std::string> codes;
    std::istringstream usage(cli::Usage());
    std::string line;
    bool inList = false;
    const std::regex entry(R"(^  (\d+) +(\S.*)$)");
    while (std::getline(usage, line)) {
        std::smatch match;
        if (line == "Exit codes:") {
            inList = true;
        } else if (inList && std::regex_match(line, match, entry)) {
            codes[std::stoi(match[1])] = match[2];
        } else if (inList) {
            break;
        }
    }
    return codes;
}

} // namespace clitest
