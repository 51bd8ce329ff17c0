#pragma once

#include <optional>
#include <string>
#include <string_view>

// The two settings the console opens its port with: start-up and "19200" choose the first, "9600" the second.
constexpr const char *Settings19200 = "19200,N,8,1";
constexpr const char *Settings9600 = "9600,N,8,1";

// The settings a speed names, as the operator writes it: "19200" or "9600"; nothing for any other.
std::optional<std::string> settingsForSpeed(std::string_view speed);

// The line settings a settings string names: Settings19200 is 19200 baud, no parity, 8 data bits, 1 stop bit.
struct LineSettings
{
    int baud = 0;
    char parity = 'N'; // N, E, O, M or S
    int dataBits = 8;
    int stopBits = 1;
};

// Throws SerialError (BadSettings), naming the faulty field, for anything not of the form
// "<baud>,<N|E|O|M|S>,<7|8>,<1|2>".
LineSettings parseLineSettings(const std::string &settings);

// The settings string for line settings, as parseLineSettings reads it: "19200,N,8,1".
std::string settingsString(const LineSettings &line);
