#include "qt/window/linebytes.h"

std::string lineBytes(const QString &text)
{
    std::string bytes;
    for (char32_t code : text.toUcs4())
        bytes.push_back(code <= 0xFF ? static_cast<char>(code) : '?');
    return bytes;
}
