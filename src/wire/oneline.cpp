#include "wire/oneline.h"

namespace {
// The length of the UTF-8 character at the front of text, or 0 when it does not begin with one.
std::size_t utf8CharacterLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text.front());
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF are no characters.
    constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < Smallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}
} // namespace

std::string utf8Text(std::string_view text)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string valid;
    valid.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = utf8CharacterLength(text);
        if (length > 0) {
            valid.append(text.substr(0, length));
            text.remove_prefix(length);
            continue;
        }
        const auto code = static_cast<unsigned char>(text.front());
        valid.append("\\x").push_back(Digits[code >> 4]);
        valid.push_back(Digits[code & 0xF]);
        text.remove_prefix(1);
    }
    return valid;
}
