#include "wire/printable.h"

#include <algorithm>

namespace {
constexpr unsigned char FirstPrintable = 0x20;
constexpr unsigned char LastPrintable = 0x7E;
constexpr std::size_t EscapeLength = std::string_view("\\xHH").size();
} // namespace

std::string printable(std::string_view bytes, std::size_t limit)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(std::min(bytes.size(), limit));
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        const bool plain = code >= FirstPrintable && code <= LastPrintable;
        if (text.size() + (plain ? 1 : EscapeLength) > limit)
            break;
        if (plain) {
            text.push_back(byte);
            continue;
        }
        text.append("\\x").push_back(Digits[code >> 4]);
        text.push_back(Digits[code & 0xF]);
    }
    return text;
}
