#include "platform/ModuleExports.h"

#include <algorithm>
#include <cctype>

namespace platform {

TExportMap MakeExportMap(std::span<const char* const> names,
                         const std::function<FARPROC(std::size_t)>& stub,
                         std::span<const TImplementedExport> implemented) {
    TExportMap table;
    for (std::size_t i = 0; i < names.size(); ++i) {
        table.emplace(names[i], stub(i));
    }
    for (const auto& [name, proc] : implemented) {
        if (const auto found = table.find(name); found != table.end()) {
            found->second = proc;
        }
    }
    return table;
}

std::string ModuleFileName(std::string_view fileName) {
    const auto slash = fileName.find_last_of("\\/");
    if (slash != std::string_view::npos) {
        fileName.remove_prefix(slash + 1);
    }
    std::string name(fileName);
    if (name.find('.') == std::string::npos) {
        name += ".dll";
    }
    return name;
}

bool SameModuleName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace platform
