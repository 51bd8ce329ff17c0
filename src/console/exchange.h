#pragma once

#include <chrono>
#include <optional>
#include <string>

// One command sent and what came back, as the console's RX trace and STATUS line show it.
struct Exchange
{
    std::string sent;  // the text, without the CR that framing adds
    std::string reply; // the bytes received, up to and including the first CR
    bool answered = false;
    std::string trace;                 // the reply's trace, or the no-reply trace when nothing came
    std::optional<std::string> status; // only for the status queries: the decoded text, or "" when none
    std::chrono::duration<double, std::milli> time{0}; // from the send to the end of the reply
};

// What the console makes of a reply to a text sent as the free-form SEND sends it.
Exchange describeExchange(std::string sent, std::string reply,
                          std::chrono::duration<double, std::milli> time);
