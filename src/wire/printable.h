#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Bytes from outside (a name, a path, a peer's reply or words) as text for a log line, stderr, a metric
// label or a message: each byte outside printable ASCII 0x20..0x7E, DEL and every byte from 0x80 up
// among them, is written as \xHH, so the text can neither break its line, forge another, move the
// terminal's cursor, nor be invalid UTF-8. At most `limit` characters: the bytes that fit whole, an
// escape never cut.
std::string printable(std::string_view bytes, std::size_t limit = std::string::npos);
