#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

// The paces ArrowPace holds besides 0, which keeps the periods in force at an arrow press: the cursor
// pace that "A-IMAGE" and MENU "ON" set, and the fastest pace that a D.Zoom release sets.
constexpr std::uint8_t CursorArrowPace = 1;
constexpr std::uint8_t FastArrowPace = 3;

// One button that sends its code at the press and repeats it while held.
struct HoldButton
{
    std::string_view control;
    std::string_view code;
    std::uint8_t repeatCode;
    // What the press sets; an arrow sets none of these and takes its reply and clearing periods from the
    // pace.
    bool arrow;
    std::chrono::milliseconds repeatInterval;
    std::chrono::milliseconds replyInterval;
    std::chrono::milliseconds clearInterval;
    // The D.Zoom pair: the release switches the arrows to the fastest pace.
    bool setsFastArrowPace;
};

std::span<const HoldButton> holdButtons();
const HoldButton *findHoldButton(std::string_view control);
const HoldButton *findHoldButton(std::uint8_t repeatCode);
