#pragma once

#include <optional>
#include <string>
#include <string_view>

// The status text for a reply's trace, given the command last sent; nullopt keeps the text shown.
std::optional<std::string> decodeStatus(std::string_view lastCommand, std::string_view trace);

// Whether a command string is one of the status queries whose replies are decoded.
bool isStatusQuery(std::string_view command);
