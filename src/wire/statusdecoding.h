#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The status text for a reply's trace, given the command last sent; nullopt keeps the text shown.
std::optional<std::string> decodeStatus(std::string_view lastCommand, std::string_view trace);

// Whether a command string is one of the status queries whose replies are decoded.
bool isStatusQuery(std::string_view command);

// What a status reply means for a script: nothing when no row or reading knows it (monostate), a table
// row's name or the reply's text (string), a number (double), or the three temperatures (vector).
using StatusValue = std::variant<std::monostate, std::string, double, std::vector<double>>;

// The value of a whole reply (its CR included) to a status query, from the same tables and readings as
// decodeStatus; monostate for any other command.
StatusValue decodeValue(std::string_view lastCommand, std::string_view reply, std::string_view trace);
