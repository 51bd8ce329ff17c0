#include "watch/pressoutcome.h"

#include "wire/printable.h"

#include <array>

std::string_view outcomeName(PressOutcome::Kind kind)
{
    static constexpr std::array<std::string_view, 4> Names = {"sent", "held", "already", "dropped"};
    return Names.at(std::size_t(kind));
}

std::string pressRecord(const std::string &from, const PressOutcome &outcome)
{
    std::string record = printable(outcome.text);
    record += " from ";
    record += from;
    record += ": ";
    switch (outcome.kind) {
    case PressOutcome::Kind::Sent:
        record += "sent";
        break;
    case PressOutcome::Kind::Held:
        record += "held until the projector settles";
        break;
    case PressOutcome::Kind::Already:
        record += "not sent, already " + outcome.detail;
        break;
    case PressOutcome::Kind::Dropped:
        record += "not sent, " + outcome.detail;
        break;
    }
    return record;
}
