// The system's message text for a platform error code, as the event log shows it.
#pragma once

#include "platform/PlatformTypes.h"

#include <string>
#include <string_view>

namespace app {

// The message table's text for code in the default language, without its trailing full
// stops, blanks and control characters; empty when the system has no text for it.
std::string SystemErrorText(DWORD code);

// "<prefix>: <text> (<code in upper-case hex>)", e.g. "WRITE ERROR: ... (1F)".
std::string IoErrorLine(std::string_view prefix, DWORD code);

} // namespace app
