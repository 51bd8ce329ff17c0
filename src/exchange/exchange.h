#pragma once

#include "wire/statusdecoding.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The most bytes of one reply that are kept; a projector's longest reply is under 64 bytes, so only a
// line gone wrong comes near it.
constexpr std::size_t ReplyLimit = 4 * 1024;

// A reply as it arrives: complete at its first CR, and never more than ReplyLimit bytes kept, however much
// comes before the CR.
struct Reply
{
    std::string kept;      // up to and including the first CR, at most ReplyLimit bytes
    bool complete = false; // the CR came
    std::size_t cut = 0;   // bytes of the reply past ReplyLimit, not kept

    // Takes the bytes that arrived; nothing after the CR is part of the reply. Each byte is looked at once.
    void add(std::string_view bytes);
};

// One command sent and what came back, as the console's RX trace and STATUS line show it.
struct Exchange
{
    std::string sent;                  // the text, without the CR that framing adds
    std::string reply;                 // the bytes kept of the reply (Reply::kept)
    bool answered = false;             // the reply's CR came, and the reply has its query's form
    bool misfit = false;               // a whole reply came without its query's form: taken for no answer
    std::size_t cut = 0;               // bytes of the reply that were not kept
    std::string trace;                 // the reply's trace, or the no-reply trace when nothing came
    std::optional<std::string> status; // only for the status queries: the decoded text, or "" when none
    std::optional<StatusValue> value;  // only for the status queries: what the reply means, if known
    bool refused = false;              // the reply was "?" alone: the projector refused the command
    std::string port;                  // the port as messages name it: "COM1 (/dev/ttyUSB0)"
    std::chrono::duration<double, std::milli> time{0}; // from the send to the end of the reply
};

// The whole reply of a projector that refuses a command.
constexpr std::string_view RefusedReply = "?\r";

// What the console makes of a reply to a text sent as the free-form SEND sends it.
Exchange describeExchange(std::string sent, Reply reply, std::chrono::duration<double, std::milli> time);
