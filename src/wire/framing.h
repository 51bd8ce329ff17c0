#pragma once

#include <string>
#include <string_view>

// CommandPrefix stays empty for the whole run: what frames a command outside the window's fields uses this.
inline constexpr std::string_view EmptyCommandPrefix{};

// The command string on the line: the prefix, the code, one carriage return. Nothing else.
inline std::string frameCommand(std::string_view prefix, std::string_view code)
{
    std::string framed;
    framed.reserve(prefix.size() + code.size() + 1);
    framed.append(prefix).append(code).push_back('\r');
    return framed;
}
