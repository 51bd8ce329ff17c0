#pragma once

#include "watch/powerstate.h"

#include <optional>
#include <string>

// What a PJLink query of one projector is answered from: the last values its watch told.
struct PjlinkStatus
{
    std::string name;
    bool connected = false;
    PowerState power = PowerState::Unknown;
    std::string operating{}; // CR0's row name: "power_on", "temperature_warning" ...
    std::string input{};     // CR1's row name: "computer_1" ...
    std::string mute{};      // CRA's row name: "video_mute" ...
    std::optional<double> lampHours{};
    std::optional<double> hottest{}; // CR6's highest temperature, in °C
};
