#pragma once

#include <string>

// The master side of a new pseudo-terminal pair, non-blocking and raw, so that every byte 0 to 255
// crosses unchanged and nothing is echoed. Whoever opens slavePath holds the other end.
struct PseudoTerminal
{
    int master = -1;
    std::string slavePath;
};

// Throws std::runtime_error when no pseudo-terminal can be had.
PseudoTerminal openPseudoTerminal();
