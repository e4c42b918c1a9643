// Modules offered as in-process export tables by backends that have no such libraries
// (the simulated bus, Linux): the loader's view of a module name, and a table holding every
// export the bindings look up, implemented or a not-implemented stub.
#pragma once

#include "platform/PlatformTypes.h"

#include <cstddef>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace platform {

using TExportMap = std::map<std::string, FARPROC, std::less<>>;

struct TImplementedExport {
    std::string_view Name;
    FARPROC Proc;
};

// Every name in names, bound to stub(position in names) unless implemented names it.
TExportMap MakeExportMap(std::span<const char* const> names,
                         const std::function<FARPROC(std::size_t)>& stub,
                         std::span<const TImplementedExport> implemented);

// The loader's view of a file name: the file part, with ".dll" added when it has no
// extension.
std::string ModuleFileName(std::string_view fileName);

// Module names compare without regard to case.
bool SameModuleName(std::string_view a, std::string_view b);

// Function pointers of other types pass through void (*)(), which converts to and from any.
template <typename F> FARPROC AsProc(F* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

} // namespace platform
