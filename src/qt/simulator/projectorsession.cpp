#include "qt/simulator/projectorsession.h"

#include "wire/trace.h"

#include <algorithm>

#include <QTime>

namespace {
// The console's own notation, without its closing blank, so a person can set the two side by side.
std::string traced(std::string_view bytes)
{
    std::string text = renderTrace(bytes);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}
} // namespace

ProjectorSession::ProjectorSession(const SimulatorOptions &options, Writer writer)
    : m_projector(options), m_write(std::move(writer))
{
    m_due.setSingleShot(true);
    m_due.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_due, &QTimer::timeout, &m_due, [this] { release(); });
    m_clock.start();
}

std::chrono::milliseconds ProjectorSession::now() const
{
    return std::chrono::milliseconds(m_clock.elapsed()) + m_advanced;
}

void ProjectorSession::advanceClock(std::chrono::milliseconds by)
{
    m_advanced += by;
    scheduleRelease();
}

void ProjectorSession::log(const std::string &text) const
{
    if (m_log)
        m_log(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toStdString() + ' ' + text);
}

void ProjectorSession::receive(std::string_view bytes)
{
    for (const Answer &answer : m_projector.receive(bytes, now())) {
        // Traced only for a log: a flood of commands pays nothing for it otherwise.
        const std::string line = m_log ? traced(answer.line + '\r') : std::string();
        if (m_log)
            log("RX" + line +
                (answer.command ? "  (" + std::string(answer.command->meaning) + ")" : "  (unknown)"));
        if (answer.pieces.empty()) {
            log("-- no reply to" + line + ": dropped as --drop-every asks");
        } else if (!m_queue.add(answer.pieces)) {
            ++m_droppedForRoom;
            log("-- no reply to" + line + ": the line is not taking data (" +
                std::to_string(m_queue.waitingBytes()) + " bytes waiting)");
        } else if (answer.pieces.front().at <= now()) {
            // Due at once: on the line before the next command is read, as the projector would.
            release();
        }
    }
    scheduleRelease();
}

void ProjectorSession::lineGone()
{
    m_queue.clear();
    m_projector.forgetPartialLine();
    m_due.stop();
}

void ProjectorSession::scheduleRelease()
{
    const auto due = m_queue.nextDue();
    if (!due) {
        m_due.stop();
        return;
    }
    m_due.start(std::max(*due - now(), std::chrono::milliseconds(0)));
}

void ProjectorSession::release()
{
    for (const std::string &piece : m_queue.release(now())) {
        if (m_log)
            log("TX" + traced(piece));
    }
    flush();
    scheduleRelease();
}

void ProjectorSession::flush()
{
    while (!m_queue.outgoing().empty()) {
        const qint64 taken = m_write(m_queue.outgoing());
        if (taken < 0) {
            // The line failed: what waited for it is lost, as on a cut cable.
            m_queue.clear();
            m_due.stop();
            return;
        }
        if (taken == 0)
            return;
        m_queue.taken(std::size_t(taken));
    }
}
