#include "app/SystemErrorText.h"

#include "platform/PlatformServices.h"

#include <array>
#include <string_view>

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

QString SystemErrorText(DWORD code) {
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
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QString IoErrorLine(const QString& prefix, DWORD code) {
    return prefix + QStringLiteral(": ") + SystemErrorText(code) + QStringLiteral(" (") +
           QString::number(code, 16).toUpper() + QStringLiteral(")");
}

} // namespace app
