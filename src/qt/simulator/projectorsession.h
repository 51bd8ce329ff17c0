#pragma once

#include "simulator/projector.h"
#include "simulator/replyqueue.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include <QElapsedTimer>
#include <QTimer>

// A simulated projector answering on one byte line, whatever carries the bytes: it keeps the projector's
// clock, puts each reply on the line when it is due through a bounded queue, and can log the exchange.
class ProjectorSession
{
public:
    // Gives the line what it takes now without waiting: the bytes taken, or -1 when the line failed.
    // A line that takes less says so later through lineReady().
    using Writer = std::function<qint64(std::string_view bytes)>;
    // Takes one line of the exchange's log, without its newline.
    using Log = std::function<void(const std::string &line)>;

    ProjectorSession(const SimulatorOptions &options, Writer writer);
    ProjectorSession(const ProjectorSession &) = delete;
    ProjectorSession &operator=(const ProjectorSession &) = delete;

    // Bytes that came from the line.
    void receive(std::string_view bytes);
    // The line takes bytes again.
    void lineReady() { flush(); }
    // The line is gone: what waited for it is dropped, and a command it had begun is forgotten.
    void lineGone();

    // Logs the exchange from now on; an empty log logs nothing.
    void setLog(Log log) { m_log = std::move(log); }
    // One line of the log, stamped with the time of day.
    void log(const std::string &text) const;

    // The projector's clock: the time since start plus every advance.
    std::chrono::milliseconds now() const;
    // Moves the projector's clock on, as if that much more time had passed.
    void advanceClock(std::chrono::milliseconds by);
    Projector &projector() { return m_projector; }
    const ReplyQueue &queue() const { return m_queue; }
    // Replies dropped because the line had not taken enough of the ones before.
    int repliesDroppedForRoom() const { return m_droppedForRoom; }

private:
    void release();
    void flush();
    void scheduleRelease();

    Projector m_projector;
    ReplyQueue m_queue;
    Writer m_write;
    Log m_log;
    QTimer m_due;
    QElapsedTimer m_clock;
    std::chrono::milliseconds m_advanced{0};
    int m_droppedForRoom = 0;
};
