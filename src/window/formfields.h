#pragma once

#include <cstdint>
#include <string>

// The window's form-level state, shared by its handlers and living as long as the window.
struct FormFields
{
    std::uint8_t RepeatCode = 0;    // the held button's repeat code; 0 while nothing is held
    std::uint8_t AwaitingReply = 0; // 1 from a send until characters arrive or the reply timer ticks
    std::uint8_t ArrowPace = 0;     // 0, 1 or 3: the periods an arrow press sets
    std::string LastCommand;        // the last command string sent, framed
    std::string ReceiveBuffer;      // every character received since the buffer was last emptied
    std::int16_t ServiceMode = 0;   // 1 once the service chord opened the service area
    std::string TypedCommand;       // the free-form text as the last SEND took it
    std::string PortSettings;       // the line settings in force
    std::string CommandPrefix;      // placed before every code; stays empty
};
