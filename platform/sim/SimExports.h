// The export tables of the simulated modules: every export the bindings look up, each a
// function with the platform's signature. The ones this program calls work on the
// installed bus; every other one fails with ERROR_CALL_NOT_IMPLEMENTED and a zero result.
#pragma once

#include "platform/sim/SimCore.h"

#include <functional>
#include <map>
#include <string>

namespace platform::sim::detail {

std::map<std::string, FARPROC, std::less<>> ExportTable(TModuleId module);

} // namespace platform::sim::detail
