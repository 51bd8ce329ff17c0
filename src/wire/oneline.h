#pragma once

#include <string>
#include <string_view>

// The text as valid UTF-8 for JSON: kept whole when it is UTF-8 already (a path as the file system has
// it), each byte of it that is no part of a UTF-8 character shown as \xNN.
std::string utf8Text(std::string_view text);
