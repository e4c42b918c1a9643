#include "app/core/SystemErrorText.h"

#include "platform/PlatformServices.h"

#include <array>
#include <cstdio>

namespace app {

namespace {

// The platform's FormatMessageA buffer for these texts.
constexpr DWORD MessageBufferSize = 256;
// MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT): the user's default language.
constexpr DWORD DefaultLanguage = 0x0400;

bool IsTrimmed(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return c == '.' || c == ' ' || byte < 0x20 || byte == 0x7F;
}

} // namespace

std::string SystemErrorText(DWORD code) {
    std::array<char, MessageBufferSize> buffer{};
    DWORD length = platform::Services().FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, DefaultLanguage,
        buffer.data(), MessageBufferSize, nullptr);
    // Never trust the count past the buffer; the text ends at its zero anyway.
    if (length >= MessageBufferSize) {
        length = MessageBufferSize - 1;
    }
    std::string_view text(buffer.data(), length);
    text = text.substr(0, text.find('\0'));
    while (!text.empty() && IsTrimmed(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string IoErrorLine(std::string_view prefix, DWORD code) {
    std::array<char, 16> hex{};
    std::snprintf(hex.data(), hex.size(), "%lX", static_cast<unsigned long>(code));
    std::string line(prefix);
    line += ": ";
    line += SystemErrorText(code);
    line += " (";
    line += hex.data();
    line += ')';
    return line;
}

} // namespace app
