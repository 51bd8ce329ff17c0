#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

// The traffic log file: one time-stamped line per event, appended and flushed as it happens, so a
// crash or a pulled plug loses nothing that was logged.
class TrafficLog
{
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // Opens the file for appending; throws std::runtime_error, naming the file and the reason, when it
    // cannot.
    explicit TrafficLog(const std::string &path, Clock clock = std::chrono::system_clock::now);
    ~TrafficLog();
    TrafficLog(const TrafficLog &) = delete;
    TrafficLog &operator=(const TrafficLog &) = delete;

    // event is TX, RX, OPEN, CLOSE, LOST or FAIL; port names the port ("COM1 (/dev/ttyUSB0)").
    void write(std::string_view event, std::string_view port, std::string_view detail);

private:
    std::string m_path;
    Clock m_clock;
    std::FILE *m_file = nullptr;
    bool m_writeFailed = false;
};
