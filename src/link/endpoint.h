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

// Where an endpoint is written: the command line takes any kind; a fleet file names each projector's
// line for good, so it takes no auto (returned as Auto for the file to refuse in its words), and a device
// only by its absolute path, since a relative one would depend on where the service starts.
enum class EndpointPlace { CommandLine, FleetFile };

// Throws std::invalid_argument whose what() is one line in the console's words, e.g.
// "tcp://host: no port given", "rfc2217://h:99999: port must be 1 to 65535"; its hint names only the
// kinds the place takes.
Endpoint parseEndpoint(std::string_view text, EndpointPlace place = EndpointPlace::CommandLine);

// What --help says of the endpoints COM1 (comPort 1) or COM2 (2) may name, one kind after another.
std::string endpointHelp(int comPort);
