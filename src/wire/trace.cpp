#include "wire/trace.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace {

// What one character adds to a trace; chars beyond length are padding so a piece copies as one block.
struct TracePiece
{
    std::array<char, 4> chars{};
    std::uint8_t length = 0;
};

constexpr std::size_t MaxPieceLength = 4;

constexpr TracePiece piece(std::string_view text)
{
    TracePiece p;
    for (std::size_t i = 0; i < text.size(); ++i)
        p.chars[i] = text[i];
    p.length = static_cast<std::uint8_t>(text.size());
    return p;
}

// First matching row wins, in the order of the trace table.
constexpr TracePiece pieceFor(unsigned char c)
{
    if (c == 6)
        return piece("ACK ");
    if (c == 20)
        return piece("&");
    if (c == 13)
        return piece("CR ");
    if (c == 10)
        return piece("LF ");
    if (c < 32)
        return piece("? ");
    if (c <= 122) {
        const char own[] = {static_cast<char>(c), ' '};
        return piece(std::string_view(own, 2));
    }
    return piece("? ");
}

constexpr auto PieceTable = [] {
    std::array<TracePiece, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c)
        table[c] = pieceFor(static_cast<unsigned char>(c));
    return table;
}();

} // namespace

std::string renderTrace(std::string_view text)
{
    const std::size_t count = std::min(text.size(), TraceCharacterLimit);
    std::string trace(1 + MaxPieceLength * count, ' ');
    char *out = trace.data() + 1;
    for (std::size_t i = 0; i < count; ++i) {
        const TracePiece &p = PieceTable[static_cast<unsigned char>(text[i])];
        std::memcpy(out, p.chars.data(), MaxPieceLength);
        out += p.length;
    }
    trace.resize(static_cast<std::size_t>(out - trace.data()));
    return trace;
}
