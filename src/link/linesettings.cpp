#include "link/linesettings.h"

#include "link/serialerror.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

namespace {
constexpr int HighestBaud = 4'000'000; // baud; above what any serial adapter offers
constexpr std::size_t FieldCount = 4;
constexpr std::string_view Parities = "NEOMS";

std::vector<std::string_view> fields(std::string_view text)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos)
            return parts;
        start = comma + 1;
    }
}

// Digits only, no sign, blank or leading zero, within 1..HighestBaud.
bool readBaud(std::string_view text, int &baud)
{
    if (text.empty() || text.front() == '0' ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), baud);
    return error == std::errc() && end == text.data() + text.size() && baud <= HighestBaud;
}

[[noreturn]] void refuse(const std::string &settings, const std::string &reason)
{
    throw SerialError(SerialError::BadSettings,
                      "\"" + settings + "\" is not a valid line setting: " + reason);
}
} // namespace

LineSettings parseLineSettings(const std::string &settings)
{
    const std::vector<std::string_view> parts = fields(settings);
    if (parts.size() != FieldCount)
        refuse(settings, "write speed, parity, data bits and stop bits, such as 19200,N,8,1");
    LineSettings line;
    if (!readBaud(parts[0], line.baud))
        refuse(settings, "the speed must be a whole number of baud from 1 to " + std::to_string(HighestBaud));
    if (parts[1].size() != 1 || Parities.find(parts[1][0]) == std::string_view::npos)
        refuse(settings, "the parity must be N, E, O, M or S");
    line.parity = parts[1][0];
    if (parts[2] != "7" && parts[2] != "8")
        refuse(settings, "the data bits must be 7 or 8");
    line.dataBits = parts[2][0] - '0';
    if (parts[3] != "1" && parts[3] != "2")
        refuse(settings, "the stop bits must be 1 or 2");
    line.stopBits = parts[3][0] - '0';
    return line;
}

std::string settingsString(const LineSettings &line)
{
    return std::to_string(line.baud) + ',' + line.parity + ',' + std::to_string(line.dataBits) + ',' +
           std::to_string(line.stopBits);
}

std::optional<std::string> settingsForSpeed(std::string_view speed)
{
    if (speed == "19200")
        return Settings19200;
    if (speed == "9600")
        return Settings9600;
    return std::nullopt;
}
