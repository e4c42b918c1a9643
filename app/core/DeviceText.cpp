#include "app/core/DeviceText.h"

#include "app/core/Utf8.h"

#include <array>
#include <cstdio>

namespace app {

namespace {

constexpr std::string_view Replacement = "\xEF\xBF\xBD";

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at the start of text (0: none) and its
// code point.
std::size_t DecodeOne(std::string_view text, char32_t& code) {
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned char>(text[i]);
    };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsContinuation(byte(i))) {
            return 0;
        }
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

bool IsControl(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029;
}

void AppendEscaped(std::string& out, char32_t code) {
    switch (code) {
    case '\b':
        out += "\\b";
        return;
    case '\f':
        out += "\\f";
        return;
    case '\n':
        out += "\\n";
        return;
    case '\r':
        out += "\\r";
        return;
    case '\t':
        out += "\\t";
        return;
    default:
        break;
    }
    std::array<char, 8> hex{};
    std::snprintf(hex.data(), hex.size(), "\\u%04x", static_cast<unsigned>(code));
    out += hex.data();
}

} // namespace

std::string EscapeControls(std::string_view utf8, TQuoting quoting) {
    const bool json = quoting == TQuoting::Json;
    std::string out;
    out.reserve(utf8.size() + (json ? 2 : 0));
    if (json) {
        out += '"';
    }
    while (!utf8.empty()) {
        char32_t code = 0;
        const std::size_t length = DecodeOne(utf8, code);
        if (length == 0) {
            out += Replacement;
            utf8.remove_prefix(1);
            continue;
        }
        if (IsControl(code)) {
            AppendEscaped(out, code);
        } else if (json && (code == '"' || code == '\\')) {
            out += '\\';
            out += static_cast<char>(code);
        } else {
            out += utf8.substr(0, length);
        }
        utf8.remove_prefix(length);
    }
    if (json) {
        out += '"';
    }
    return out;
}

std::string DeviceText(std::u16string_view text) {
    return EscapeControls(ToUtf8(text));
}

} // namespace app
