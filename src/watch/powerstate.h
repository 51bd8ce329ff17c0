#pragma once

#include "exchange/exchange.h"

#include <optional>
#include <span>
#include <string_view>

// A projector's power as the watch knows it: from its CR0 answers, or from its line when no answer comes.
enum class PowerState {
    Unknown,     // the projector has not answered CR0, or answered something no row reads
    Unreachable, // the line is lost, or the last round had no answer
    Standby,
    Warming,
    On,
    Cooling,
    Fault,
};

// Every state's word, in the order of PowerState: "unknown", "unreachable", "standby" ...
std::span<const std::string_view> powerStateNames();
std::string_view powerStateName(PowerState state);

// The state a CR0 reply key (" 8 0") stands for; nullopt for a key no row has.
std::optional<PowerState> powerStateOfKey(std::string_view key);
// The state an answered CR0 exchange shows: its decoding row's, or Unknown when no row reads it.
PowerState powerStateOf(const Exchange &exchange);
