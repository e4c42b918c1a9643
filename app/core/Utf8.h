// The devices' UTF-16 strings as the window's UTF-8 text.
#pragma once

#include <string>
#include <string_view>

namespace app {

// Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);

} // namespace app
