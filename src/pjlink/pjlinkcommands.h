#pragma once

#include "exchange/exchange.h"
#include "pjlink/pjlinkstatus.h"
#include "watch/pressoutcome.h"

#include <optional>
#include <string>
#include <string_view>

// What the console says of itself to a PJLink client.
namespace PjlinkIdentity {
constexpr std::string_view Maker = "tavo";
constexpr std::string_view Model = "QT27S";
constexpr std::string_view Inputs = "11 12 31";
} // namespace PjlinkIdentity

// What one PJLink line leads to: its answer at once, or a press to give the projector whose outcome
// answers it.
struct PjlinkStep
{
    std::string header; // "%1POWR"; "PJLINK" for a line that has none
    std::string answer; // the whole answer with its CR; empty when a press is to be given
    std::string press;  // the press's text ("C00")
};

// The step of one line (its CR and any digest taken off), queries answered from the projector's values;
// a projector the fleet no longer has is nullptr, and answered as unreachable.
PjlinkStep pjlinkStep(std::string_view line, const PjlinkStatus *status);

// The answer of a header: "%1POWR" and "OK" give "%1POWR=OK\r".
std::string pjlinkAnswer(std::string_view header, std::string_view result);

// The result of a press as the watch took it: nullopt for one that went out, whose exchange answers it.
std::optional<std::string_view> pjlinkOutcomeResult(const PressOutcome &outcome);
// The result of a press's exchange; nullptr when none will come.
std::string_view pjlinkExchangeResult(const Exchange *exchange);
