// Text a device supplied (its product name, its serial number) made safe to show: on a
// terminal, in a label, in a log line. A device may hold any characters, among them the
// escape sequences that drive a terminal and the line breaks that forge a log line.
#pragma once

#include <string>
#include <string_view>

namespace app {

enum class TQuoting {
    None, // the text alone, for a sentence ("ZEM VUZ X is connected.")
    Json  // a JSON string: in quotes, '"' and '\' escaped as well
};

// Control characters (C0, DEL, C1) and the Unicode line and paragraph separators become
// JSON-style escapes ("\r", "\u001b", "\u009b"); bytes that are no UTF-8 become U+FFFD.
// Applied to a JSON text it yields the same JSON value, with no raw control character.
std::string EscapeControls(std::string_view utf8, TQuoting quoting = TQuoting::None);

// A device's UTF-16 string as UTF-8 with its control characters escaped.
std::string DeviceText(std::u16string_view text);

} // namespace app
