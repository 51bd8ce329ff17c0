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

// Whether a whole reply (its CR included) has the form of a reply to the status query last sent: as many
// characters as its table's keys stand for, a reading, three temperatures, or any text for the status
// line. Any reply fits a command that is not a status query.
bool fitsReplyForm(std::string_view lastCommand, std::string_view reply, std::string_view trace);
