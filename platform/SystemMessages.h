// The system's English message texts for the error codes this program can meet, and the
// system-message form of FormatMessageA built on them, for backends that have no message
// table of their own.
#pragma once

#include "platform/PlatformTypes.h"

#include <optional>
#include <string_view>

namespace platform {

// The text the system gives for code, with its trailing "\r\n"; none for an unknown code.
std::optional<std::string_view> SystemMessageText(DWORD code);

// FormatMessageA for FORMAT_MESSAGE_FROM_SYSTEM. Returns the characters stored (without the
// terminating zero) or 0 with error set to the code the platform reports: 317 for a code
// without a message, 122 for a buffer too small for the text and its zero, 1815 for a
// language other than English or the defaults, 120 for a source other than the system.
DWORD FormatSystemMessage(DWORD flags, DWORD messageId, DWORD languageId, LPSTR buffer, DWORD size,
                          DWORD& error);

} // namespace platform
