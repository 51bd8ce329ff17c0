#include "wire/holdtable.h"

#include "wire/findrow.h"

using namespace std::chrono_literals;

namespace {
constexpr bool Arrow = true; // paced by ArrowPace; the press sets none of the three periods
constexpr bool Fixed = false;
constexpr bool DZoom = true; // the release switches the arrows to the fastest pace
constexpr bool NotDZoom = false;
constexpr auto Paced = 0ms; // an arrow press sets no period of its own

// control, code, repeat code, arrow, repeat / reply / clearing periods the press sets, D.Zoom.
const HoldButton Buttons[] = {
    {"Command1", "C09", 1, Fixed, 250ms, 200ms, 245ms, NotDZoom},
    {"Command2", "C0A", 2, Fixed, 250ms, 200ms, 245ms, NotDZoom},
    {"Command5", "C3C", 3, Arrow, Paced, Paced, Paced, NotDZoom},
    {"Command7", "C3D", 4, Arrow, Paced, Paced, Paced, NotDZoom},
    {"Command9", "C3B", 5, Arrow, Paced, Paced, Paced, NotDZoom},
    {"Command8", "C3A", 6, Arrow, Paced, Paced, Paced, NotDZoom},
    {"Command15", "C20", 7, Fixed, 50ms, 25ms, 25ms, NotDZoom},
    {"Command35", "C21", 8, Fixed, 50ms, 25ms, 25ms, NotDZoom},
    {"Command6", "C3F", 13, Fixed, 500ms, 200ms, 245ms, NotDZoom},
    {"Command48", "C30", 17, Fixed, 250ms, 200ms, 245ms, DZoom},
    {"Command49", "C31", 18, Fixed, 250ms, 200ms, 245ms, DZoom},
    {"Command50", "C8E", 19, Fixed, 250ms, 200ms, 245ms, NotDZoom},
    {"Command51", "C8F", 20, Fixed, 250ms, 200ms, 245ms, NotDZoom},
};
} // namespace

std::span<const HoldButton> holdButtons()
{
    return Buttons;
}

const HoldButton *findHoldButton(std::string_view control)
{
    return findRow(holdButtons(), &HoldButton::control, control);
}

const HoldButton *findHoldButton(std::uint8_t repeatCode)
{
    return findRow(holdButtons(), &HoldButton::repeatCode, repeatCode);
}
