#include "mqtt/remotecommand.h"

#include "mqtt/presskeys.h"

#include <algorithm>

namespace {
constexpr unsigned char FirstPrintable = 0x20;
constexpr unsigned char LastPrintable = 0x7E;

bool printable(std::string_view payload)
{
    return std::all_of(payload.begin(), payload.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= FirstPrintable && byte <= LastPrintable;
    });
}

RemoteCommand refused(std::string why)
{
    return {{}, std::move(why)};
}
} // namespace

RemoteCommand remoteCommand(MqttTopics::Inbox inbox, std::string_view payload, bool allowSend)
{
    if (inbox == MqttTopics::Inbox::Send && !allowSend)
        return refused("free-form commands are taken only when the console runs with --mqtt-allow-send");
    if (payload.size() > RemotePayloadLimit)
        return refused("the message has " + std::to_string(payload.size()) + " bytes; at most " +
                       std::to_string(RemotePayloadLimit) + " are taken");
    if (payload.empty())
        return refused("the message is empty");
    if (!printable(payload))
        return refused("the message is not printable ASCII text");
    if (inbox == MqttTopics::Inbox::Send)
        return {std::string(payload), {}};
    const PressKey *press = findPressKey(payload);
    if (!press)
        return refused("no control is pressed as '" + std::string(payload) + "'");
    if (press->held)
        // Appended rather than "'" + text, which GCC's optimiser takes for an overlapping copy.
        return refused(std::string("'").append(payload).append(
            "' is a press-and-hold control; it is not pressed from afar"));
    return {std::string(pressCode(*press)), {}};
}
