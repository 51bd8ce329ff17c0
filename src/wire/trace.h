#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The most characters of a text that a trace renders; the rest of a longer text is left out.
constexpr std::size_t TraceCharacterLimit = 32767;

// The readable one-line form of a string of characters (one byte per char): a blank, then a piece per
// character ("ACK ", "&", "CR ", "LF ", "? ", or the character and a blank).
std::string renderTrace(std::string_view text);
