#include "link/trafficlog.h"

#include "link/trafficline.h"
#include "wire/printable.h"

#include <cstdio>
#include <utility>

namespace {
std::string dropLine(const std::string &time, std::size_t dropped)
{
    return time + " DROPPED " + std::to_string(dropped) + " lines: the log could not keep up\n";
}
} // namespace

TrafficLog::TrafficLog(std::unique_ptr<LogSink> sink, std::string name, std::uint64_t fileLimit, Clock clock,
                       std::size_t queueLimit)
    : m_sink(std::move(sink)), m_name(std::move(name)), m_fileLimit(fileLimit), m_clock(std::move(clock)),
      m_queueLimit(queueLimit)
{
    m_writer = std::thread([this] { run(); });
}

TrafficLog::~TrafficLog()
{
    close();
}

void TrafficLog::write(std::string_view event, std::string_view port, std::string_view detail)
{
    if (m_failed)
        return;
    std::string time = trafficTimestamp(m_clock());
    std::string line = trafficLine(time, event, port, detail) + '\n';
    {
        const std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        if (m_queue.size() >= m_queueLimit) {
            if (m_dropped++ == 0)
                m_firstDropTime = std::move(time);
            return;
        }
        m_queue.push_back(std::move(line));
    }
    m_wake.notify_one();
}

void TrafficLog::setOnFailure(FailureHandler handler)
{
    const std::lock_guard lock(m_handlerMutex);
    m_onFailure = std::move(handler);
}

std::size_t TrafficLog::close(std::chrono::milliseconds wait)
{
    if (!m_writer.joinable())
        return 0;
    {
        std::unique_lock lock(m_mutex);
        m_stopping = true;
        m_wake.notify_one();
        if (!m_done.wait_for(lock, wait, [this] { return m_writerDone; }))
            m_giveUp = true;
    }
    m_writer.join();
    return m_failed ? 0 : m_unwritten;
}

void TrafficLog::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_dropped > 0 || m_stopping; });
        if (m_queue.empty() && m_dropped == 0)
            break;
        std::deque<std::string> batch;
        batch.swap(m_queue);
        // The queue was full from the first drop until this swap, so the note follows the batch.
        const std::size_t dropped = std::exchange(m_dropped, 0);
        if (dropped > 0)
            batch.push_back(dropLine(m_firstDropTime, dropped));
        lock.unlock();
        std::size_t written = 0;
        for (const std::string &line : batch) {
            if (m_failed || m_giveUp)
                break;
            const LogSink::Result result = writeLine(line);
            if (result.outcome == LogSink::Result::Outcome::Failed)
                fail(result.reason);
            if (result.outcome != LogSink::Result::Outcome::Written)
                break;
            ++written;
        }
        // The lines not in the file, those dropped counted in place of their note.
        const std::size_t left =
            batch.size() - written + (dropped > 0 && written < batch.size() ? dropped - 1 : 0);
        lock.lock();
        if (m_giveUp && !m_failed) {
            m_unwritten = left + m_queue.size() + m_dropped;
            break;
        }
    }
    m_writerDone = true;
    m_done.notify_all();
}

LogSink::Result TrafficLog::writeLine(const std::string &line)
{
    const std::optional<std::uint64_t> size = m_sink->size();
    // A line longer than a whole file is cut to fit one, its newline kept, so no file passes the limit.
    const bool cut = size && line.size() > m_fileLimit;
    const std::string fitted = cut ? line.substr(0, std::size_t(m_fileLimit) - 1) + '\n' : std::string();
    const std::string &shown = cut ? fitted : line;
    if (size && *size > 0 && *size + shown.size() > m_fileLimit) {
        if (std::optional<std::string> reason = m_sink->startAfresh())
            return {LogSink::Result::Outcome::Failed, std::move(*reason)};
    }
    return m_sink->write(shown, m_giveUp);
}

void TrafficLog::fail(const std::string &reason)
{
    m_failed = true;
    const std::string message =
        "the traffic log " + m_name + " could not be written (" + reason + "); logging stops";
    const std::lock_guard lock(m_handlerMutex);
    if (m_onFailure)
        m_onFailure(message);
    else
        std::fprintf(stderr, "tavo-console: %s\n", printable(message).c_str());
}
