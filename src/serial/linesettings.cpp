#include "serial/linesettings.h"

#include "serial/serialerror.h"

#include <charconv>
#include <string_view>
#include <vector>

namespace {
constexpr int HighestBaud = 4'000'000;

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

bool readWhole(std::string_view text, int &value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}
} // namespace

LineSettings parseLineSettings(const std::string &settings)
{
    const std::vector<std::string_view> parts = fields(settings);
    LineSettings line;
    const bool valid = parts.size() == 4 && readWhole(parts[0], line.baud) && line.baud > 0 &&
                       line.baud <= HighestBaud && parts[1].size() == 1 &&
                       std::string_view("NEOMS").find(parts[1][0]) != std::string_view::npos &&
                       readWhole(parts[2], line.dataBits) && (line.dataBits == 7 || line.dataBits == 8) &&
                       readWhole(parts[3], line.stopBits) && (line.stopBits == 1 || line.stopBits == 2);
    if (!valid)
        throw SerialError(SerialError::BadSettings,
                          "\"" + settings + "\" is not a line setting such as 19200,N,8,1");
    line.parity = parts[1][0];
    return line;
}
