#pragma once

#include "mqtt/mqtttopics.h"

#include <cstddef>
#include <string>
#include <string_view>

// The most bytes of a press or free-form command taken from a message; a key is under 32 and a
// projector's command under 64.
constexpr std::size_t RemotePayloadLimit = 256;

// What a message on a projector's press or send topic asks to send (its text, without the CR), or why
// nothing is sent.
struct RemoteCommand
{
    std::string text;
    std::string refusal; // empty when text is to be sent
};

// A press names a one-shot key; a free-form command is sent as given, and only when allowSend. Either
// must be printable ASCII, so no CR can slip a second command in.
RemoteCommand remoteCommand(MqttTopics::Inbox inbox, std::string_view payload, bool allowSend);
