// How the demo's window tells itself apart from the program that drives a real adapter.
#pragma once

#include <string_view>

namespace demo {

// Appended to the window's caption: "ZEM VUZ Utility V1.0 (demo: simulated adapter)".
inline constexpr std::string_view WindowTitleSuffix = " (demo: simulated adapter)";

} // namespace demo
