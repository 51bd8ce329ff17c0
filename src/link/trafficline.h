#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// Local ISO-8601 time with milliseconds and the offset from UTC: "2024-05-01T14:03:07.123+02:00".
std::string trafficTimestamp(std::chrono::system_clock::time_point at);

// Every byte as two upper-case hex digits, one blank between: "43 52 30 0D".
std::string hexBytes(std::string_view bytes);

// One line of the traffic log, without its newline: the time, what happened (TX, RX, OPEN, CLOSE,
// LOST, FAIL), the port ("COM1 (/dev/ttyUSB0)") and the detail, each byte outside printable
// ASCII as \xHH.
std::string trafficLine(std::string_view time, std::string_view event, std::string_view port,
                        std::string_view detail);

// The most bytes a TX or RX line shows: a projector's reply is under 64, so only a flood is cut, and a
// line stays a few times this size however much arrived at once.
constexpr std::size_t TrafficByteLimit = 256;

// The detail of a TX or RX line: the bytes' trace in quotes, so its blanks show, then the same bytes in
// hex. Past TrafficByteLimit bytes, the first that many are shown, then "... N more bytes".
std::string trafficBytes(std::string_view bytes);
