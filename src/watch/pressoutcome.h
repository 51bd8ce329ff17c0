#pragma once

#include <string>
#include <string_view>

// What came of a press given to a watch: sent (its exchange is told by FleetObserver::commanded), held
// until the projector settles, not sent because the projector already is where it leads, or dropped.
struct PressOutcome
{
    enum class Kind { Sent, Held, Already, Dropped };
    // Why a press was dropped, for whoever answers by it rather than by its words.
    enum class Reason { Other, UnknownProjector, NotConnected, QueueFull };

    Kind kind = Kind::Sent;
    std::string text;   // the press's text: "C01"
    std::string detail; // Already: the power state's word ("on"); Dropped: why, in the console's words
    Reason reason = Reason::Other;

    static PressOutcome sent(std::string text) { return {Kind::Sent, std::move(text), {}, {}}; }
    static PressOutcome held(std::string text) { return {Kind::Held, std::move(text), {}, {}}; }
    static PressOutcome already(std::string text, std::string state)
    {
        return {Kind::Already, std::move(text), std::move(state), {}};
    }
    static PressOutcome dropped(std::string text, std::string why, Reason reason = Reason::Other)
    {
        return {Kind::Dropped, std::move(text), std::move(why), reason};
    }
    bool operator==(const PressOutcome &) const = default;
};

// The outcome's word, as records and replies give it: "sent", "held", "already" or "dropped".
std::string_view outcomeName(PressOutcome::Kind kind);

// A press as one record line: "C00 from mqtt: sent", "C01 from http 10.0.0.5: not sent, already on".
std::string pressRecord(const std::string &from, const PressOutcome &outcome);
