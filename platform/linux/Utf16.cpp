#include "platform/linux/Utf16.h"

#include <cstdint>

namespace platform::linux_backend {

std::u16string Utf16FromUtf8(std::string_view text) {
    constexpr char32_t kReplacement = 0xFFFD;
    std::u16string result;
    result.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<std::uint8_t>(text[at]);
        std::size_t length = 0;
        char32_t code = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
            minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
            minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
            minimum = 0x10000;
        }
        bool valid = length != 0 && at + length <= text.size();
        for (std::size_t i = 1; valid && i < length; ++i) {
            const auto next = static_cast<std::uint8_t>(text[at + i]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        valid = valid && code >= minimum && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            result.push_back(static_cast<char16_t>(kReplacement));
            ++at;
            continue;
        }
        at += length;
        if (code >= 0x10000) {
            code -= 0x10000;
            result.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            result.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            result.push_back(static_cast<char16_t>(code));
        }
    }
    return result;
}

} // namespace platform::linux_backend
