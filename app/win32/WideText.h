// The window's texts are UTF-8 in the core and UTF-16 at the Windows API.
#pragma once

#include <string>
#include <string_view>

namespace app::win32 {

std::wstring ToWide(std::string_view utf8);
std::string FromWide(std::wstring_view utf16);

} // namespace app::win32
