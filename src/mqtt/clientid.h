#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The most bytes of the console's client identifier: MQTT 5 brokers take longer ones, and a file name
// could be any length.
constexpr std::size_t ClientIdLimit = 64;

// The console's client identifier on a broker, the same at every start of the same fleet:
// "tavo-console-" and the fleet file's base name without its extension, every byte but letters, digits,
// '-' and '_' written '_', within ClientIdLimit.
std::string fleetClientId(std::string_view fleetFile);
