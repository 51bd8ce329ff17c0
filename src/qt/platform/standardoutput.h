#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QSocketNotifier>

// Standard output that never holds the event loop: each line is written as far as the reader takes it,
// the rest waits (at most QueueLimitBytes), and a line that finds the queue full is dropped and counted.
// A reader that went away, or a disk that is full, is a failure; a reader that is slow is not.
class StandardOutput
{
public:
    static constexpr std::size_t QueueLimitBytes = 1024 * 1024;

    explicit StandardOutput(int descriptor);
    ~StandardOutput();
    StandardOutput(const StandardOutput &) = delete;
    StandardOutput &operator=(const StandardOutput &) = delete;

    // False once the output has failed for good; a line dropped for a full queue is not a failure.
    bool write(const QByteArray &line);
    // Waits for the lines still queued, for at most `limit` (none: until they are written or the output
    // fails); those left are counted as dropped.
    void drain(std::optional<std::chrono::milliseconds> limit);

    bool failed() const { return m_failed; }
    std::size_t dropped() const { return m_dropped; }
    // Told once, when the first line is dropped.
    void setOnFirstDrop(std::function<void()> handler) { m_onFirstDrop = std::move(handler); }

private:
    // Writes what the reader takes now; false once the output failed.
    bool flush();

    int m_descriptor;
    // Standard output opened again as the console's own description, closed at the end.
    bool m_ownsDescriptor = false;
    // A shared description's flags as found, given back at the end.
    int m_savedFlags = -1;
    std::deque<QByteArray> m_queue;
    std::size_t m_queued = 0;
    // Bytes of the queue's first line already written.
    std::size_t m_written = 0;
    std::size_t m_dropped = 0;
    bool m_failed = false;
    std::function<void()> m_onFirstDrop;
    std::unique_ptr<QSocketNotifier> m_notifier;
};
