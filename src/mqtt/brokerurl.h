#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Where the MQTT bridge meets its broker, as --mqtt gives it: mqtt://[USER@]HOST[:PORT], or mqtts://
// for TLS.
struct BrokerUrl
{
    static constexpr std::uint16_t DefaultPort = 1883;
    static constexpr std::uint16_t DefaultTlsPort = 8883;

    bool tls = false;
    std::string user; // empty: none
    std::string host;
    std::uint16_t port = DefaultPort;
};

// Throws std::invalid_argument whose what() is the reason alone ("no host given").
BrokerUrl parseBrokerUrl(std::string_view text);
