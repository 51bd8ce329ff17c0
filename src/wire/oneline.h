#pragma once

#include <string>
#include <string_view>

// Text for one line of a log or of stderr: each control character (a newline, a CR, an escape) shows as
// \xNN, so a name or a server's words can neither break the line nor forge another.
std::string oneLine(std::string_view text);

// The text as valid UTF-8 for JSON: kept whole when it is UTF-8 already (a path as the file system has
// it), each byte of it that is no part of a UTF-8 character shown as \xNN.
std::string utf8Text(std::string_view text);
