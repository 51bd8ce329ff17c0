#pragma once

#include "link/timer.h"
#include "watch/powerstate.h"
#include "watch/pressoutcome.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

// The held-press rule of power presses: one that leads where the projector already is sends nothing,
// and one against a warm-up or cool-down (off while warming, on while cooling) is held until the projector
// settles. A newer power press replaces the held one; one held HoldLimit is dropped. Other presses pass.
class PressRule
{
public:
    static constexpr auto HoldLimit = std::chrono::minutes(10);
    // A held press ended without going out, with why.
    using Dropped = std::function<void(const PressOutcome &)>;

    PressRule(Timer &hold, Dropped dropped);
    PressRule(const PressRule &) = delete;
    PressRule &operator=(const PressRule &) = delete;

    // What to do with a press in this state: Sent (send it now), Held or Already.
    PressOutcome press(std::string text, PowerState state);
    // The held press, once the state has settled; it is to be pressed again, as a new press.
    std::optional<std::string> settled(PowerState state);
    // Forgets the held press without a word.
    void clear();
    // The held press, if any, is dropped and told, with why.
    void drop(const std::string &why);

private:
    Timer &m_hold;
    Dropped m_dropped;
    std::optional<std::string> m_held;
};
