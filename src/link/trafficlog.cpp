#include "link/trafficlog.h"

#include "link/trafficline.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

TrafficLog::TrafficLog(const std::string &path, Clock clock) : m_path(path), m_clock(std::move(clock))
{
    m_file = std::fopen(path.c_str(), "a");
    if (!m_file)
        throw std::runtime_error("the traffic log " + path + " cannot be opened for appending (" +
                                 std::strerror(errno) + ")");
}

TrafficLog::~TrafficLog()
{
    std::fclose(m_file);
}

void TrafficLog::write(std::string_view event, std::string_view port, std::string_view detail)
{
    if (m_writeFailed)
        return;
    const std::string line = trafficLine(trafficTimestamp(m_clock()), event, port, detail) + '\n';
    if (std::fwrite(line.data(), 1, line.size(), m_file) == line.size() && std::fflush(m_file) == 0)
        return;
    // The line goes on without its record; the operator is told once, not at every byte.
    m_writeFailed = true;
    std::fprintf(stderr, "tavo-console: the traffic log %s could not be written (%s); logging stops\n",
                 m_path.c_str(), std::strerror(errno));
}
