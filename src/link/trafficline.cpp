#include "link/trafficline.h"

#include "wire/printable.h"
#include "wire/trace.h"

#include <array>
#include <cstdio>
#include <ctime>

namespace {
constexpr std::size_t TimestampLength = sizeof "2024-05-01T14:03:07.123+02:00";
// The bytes a line shows are traced whole.
static_assert(TrafficByteLimit <= TraceCharacterLimit);
} // namespace

std::string trafficTimestamp(std::chrono::system_clock::time_point at)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(at);
    // to_time_t may round to the nearest second; the milliseconds count from the second shown.
    auto sinceSecond = std::chrono::duration_cast<std::chrono::milliseconds>(
        at - std::chrono::system_clock::from_time_t(seconds));
    std::tm local = *std::localtime(&seconds);
    if (sinceSecond.count() < 0) {
        const std::time_t before = seconds - 1;
        local = *std::localtime(&before);
        sinceSecond += std::chrono::seconds(1);
    }
    std::array<char, TimestampLength> date{};
    std::array<char, TimestampLength> offset{};
    std::strftime(date.data(), date.size(), "%Y-%m-%dT%H:%M:%S", &local);
    std::strftime(offset.data(), offset.size(), "%z", &local);
    // %z gives "+0200"; the extended form of the date and time wants "+02:00".
    std::string zone(offset.data());
    if (zone.size() == std::string_view("+0200").size())
        zone.insert(zone.begin() + 3, ':');
    std::array<char, sizeof ".123"> fraction{};
    std::snprintf(fraction.data(), fraction.size(), ".%03d", int(sinceSecond.count()));
    return std::string(date.data()) + fraction.data() + zone;
}

std::string hexBytes(std::string_view bytes)
{
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 3);
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        if (!hex.empty())
            hex.push_back(' ');
        hex.push_back(Digits[code >> 4]);
        hex.push_back(Digits[code & 0xF]);
    }
    return hex;
}

std::string trafficLine(std::string_view time, std::string_view event, std::string_view port,
                        std::string_view detail)
{
    std::string line;
    line.append(time).append(" ").append(event).append(" ").append(printable(port));
    if (!detail.empty())
        line.append(" ").append(printable(detail));
    return line;
}

std::string trafficBytes(std::string_view bytes)
{
    const std::string_view shown = bytes.substr(0, TrafficByteLimit);
    // Appended in order: inserting a literal at a string's front, as literal + temporary does, is taken by
    // GCC 12 at -O3 for an overlapping copy (-Wrestrict).
    std::string detail;
    detail.append("\"").append(renderTrace(shown)).append("\" ").append(hexBytes(shown));
    if (shown.size() < bytes.size())
        detail.append(" ... ").append(std::to_string(bytes.size() - shown.size())).append(" more bytes");
    return detail;
}
