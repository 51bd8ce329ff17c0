#include "watch/pressrule.h"

#include "wire/oneshottable.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {
// A power button, the state its press leads to, and the change it must not cut short.
struct PowerPress
{
    std::string_view control;
    PowerState leadsTo;
    PowerState heldWhile;
};

constexpr std::array<PowerPress, 2> PowerPresses = {{
    {"Command17", PowerState::On, PowerState::Cooling},
    {"Command18", PowerState::Standby, PowerState::Warming},
}};

const PowerPress *findPowerPress(std::string_view text)
{
    const auto found = std::find_if(PowerPresses.begin(), PowerPresses.end(), [&](const PowerPress &press) {
        const OneShotButton *button = findOneShotButton(press.control);
        return button && button->code == text;
    });
    return found == PowerPresses.end() ? nullptr : &*found;
}

// A state from which a held press may go: the projector answered, and is neither warming nor cooling.
bool settledState(PowerState state)
{
    return state == PowerState::Standby || state == PowerState::On || state == PowerState::Fault;
}
} // namespace

PressRule::PressRule(Timer &hold, Dropped dropped) : m_hold(hold), m_dropped(std::move(dropped))
{
    m_hold.setEnabled(false);
    m_hold.setInterval(HoldLimit);
    m_hold.setOnTick([this] {
        drop("it was held " + std::to_string(HoldLimit.count()) +
             " minutes and the projector did not settle");
    });
}

PressOutcome PressRule::press(std::string text, PowerState state)
{
    const PowerPress *power = findPowerPress(text);
    if (!power)
        return PressOutcome::sent(std::move(text));
    if (m_held)
        drop("a newer power press replaced it");
    if (state == power->leadsTo)
        return PressOutcome::already(std::move(text), std::string(powerStateName(state)));
    if (state != power->heldWhile)
        return PressOutcome::sent(std::move(text));
    m_held = text;
    m_hold.setEnabled(true);
    return PressOutcome::held(std::move(text));
}

std::optional<std::string> PressRule::settled(PowerState state)
{
    if (!m_held || !settledState(state))
        return std::nullopt;
    m_hold.setEnabled(false);
    return std::exchange(m_held, std::nullopt);
}

void PressRule::clear()
{
    m_hold.setEnabled(false);
    m_held.reset();
}

void PressRule::drop(const std::string &why)
{
    m_hold.setEnabled(false);
    if (std::optional<std::string> held = std::exchange(m_held, std::nullopt))
        m_dropped(PressOutcome::dropped(std::move(*held), why));
}
