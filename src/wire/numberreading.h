#pragma once

#include <string_view>

// Reads the number at the start of a text, blanks, tabs and line feeds anywhere skipped: a decimal with
// optional sign, point and exponent (E or D), or an "&H"/"&O" hexadecimal/octal integer. No number reads
// as 0; a number too large for a double reads as an infinity.
double readNumber(std::string_view text);
