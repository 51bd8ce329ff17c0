#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A network address as written on a command line: "HOST:PORT", or "[IPV6]:PORT" for an IPv6 address.
struct HostPort
{
    std::string host; // without the brackets of an IPv6 address
    std::uint16_t port = 0;
};

// Throws std::invalid_argument whose what() is the reason alone ("no port given"); whether the host
// names a machine is the network's to say.
HostPort parseHostPort(std::string_view text, std::uint16_t lowestPort);
