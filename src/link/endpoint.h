#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Where COM1 or COM2 reaches its projector, as the operator names it on the command line.
struct Endpoint
{
    enum class Kind { Auto, Device, Tcp, Rfc2217 };
    Kind kind = Kind::Auto;
    std::string device;     // Device: the path as given
    std::string host;       // Tcp, Rfc2217
    std::uint16_t port = 0; // Tcp, Rfc2217
    std::string text;       // as the operator wrote it, for messages
};

// Throws std::invalid_argument whose what() is one line in the console's words, e.g.
// "tcp://host: no port given", "rfc2217://h:99999: port must be 1 to 65535".
Endpoint parseEndpoint(std::string_view text);

// What --help says of the endpoints COM1 (comPort 1) or COM2 (2) may name, one kind after another.
std::string endpointHelp(int comPort);
