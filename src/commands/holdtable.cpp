#include "commands/holdtable.h"

using namespace std::chrono_literals;

namespace {
constexpr bool Arrow = true; // paced by ArrowPace; the press sets none of the three periods
constexpr bool Fixed = false;

// control, code, repeat code, arrow, repeat / reply / clearing periods the press sets, D.Zoom.
const HoldButton Buttons[] = {
    {"Command1", "C09", 1, Fixed, 250ms, 200ms, 245ms, false},
    {"Command2", "C0A", 2, Fixed, 250ms, 200ms, 245ms, false},
    {"Command5", "C3C", 3, Arrow, 0ms, 0ms, 0ms, false},
    {"Command7", "C3D", 4, Arrow, 0ms, 0ms, 0ms, false},
    {"Command9", "C3B", 5, Arrow, 0ms, 0ms, 0ms, false},
    {"Command8", "C3A", 6, Arrow, 0ms, 0ms, 0ms, false},
    {"Command15", "C20", 7, Fixed, 50ms, 25ms, 25ms, false},
    {"Command35", "C21", 8, Fixed, 50ms, 25ms, 25ms, false},
    {"Command6", "C3F", 13, Fixed, 500ms, 200ms, 245ms, false},
    {"Command48", "C30", 17, Fixed, 250ms, 200ms, 245ms, true},
    {"Command49", "C31", 18, Fixed, 250ms, 200ms, 245ms, true},
    {"Command50", "C8E", 19, Fixed, 250ms, 200ms, 245ms, false},
    {"Command51", "C8F", 20, Fixed, 250ms, 200ms, 245ms, false},
};
} // namespace

std::span<const HoldButton> holdButtons()
{
    return Buttons;
}

const HoldButton *findHoldButton(std::string_view control)
{
    for (const HoldButton &button : Buttons) {
        if (button.control == control)
            return &button;
    }
    return nullptr;
}

const HoldButton *findHoldButton(std::uint8_t repeatCode)
{
    for (const HoldButton &button : Buttons) {
        if (button.repeatCode == repeatCode)
            return &button;
    }
    return nullptr;
}
