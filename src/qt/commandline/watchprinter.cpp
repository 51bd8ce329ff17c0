#include "qt/commandline/watchprinter.h"

#include "link/trafficline.h"
#include "qt/exchange/exchangeoutput.h"
#include "watch/statuswatch.h"
#include "wire/printable.h"

#include <chrono>
#include <cstdio>

namespace {
std::string now()
{
    return trafficTimestamp(std::chrono::system_clock::now());
}

// The time of a fleet's text line: to the second, without the offset, as a person reads it.
constexpr std::size_t ReadableTimeLength = 19;
} // namespace

WatchPrinter::WatchPrinter(StandardOutput &out, PrintMode mode, PortOf portOf, Failed failed)
    : m_out(out), m_mode(mode), m_portOf(std::move(portOf)), m_failed(std::move(failed))
{
}

void WatchPrinter::write(const QByteArray &line)
{
    if (!m_out.failed() && !m_out.write(line))
        m_failed(ExitCode::WriteFailed, "the output could not be written; the watch stopped");
}

void WatchPrinter::toStderr(const std::string &projector, const std::string &time,
                            const std::string &text) const
{
    const std::string line = time + " " + (m_mode.lone ? "" : projector + ": ") + text;
    std::fprintf(stderr, "tavo-console: %s\n", printable(line).c_str());
}

void WatchPrinter::tell(const std::string &projector, const std::string &time, const std::string &text)
{
    if (!readable()) {
        toStderr(projector, time, text);
        return;
    }
    const std::string line = m_readable.line(time.substr(0, ReadableTimeLength), projector, printable(text));
    write(QByteArray::fromStdString(line) + '\n');
}

void WatchPrinter::print(const std::string &projector, const std::string &time, const std::string &line,
                         const std::string &reason)
{
    if (m_mode.json)
        write(lineJson(time, m_portOf(projector), line, reason, m_mode.lone ? std::string() : projector));
}

void WatchPrinter::projectorAdded(const FleetProjector &projector)
{
    m_readable.add(projector.name);
}

void WatchPrinter::lineChanged(const std::string &projector, bool connected, const std::string &reason)
{
    const std::string time = now();
    if (connected) {
        m_opened.insert(projector);
        if (m_lost.erase(projector) > 0) {
            tell(projector, time, reason);
            print(projector, time, "back", reason);
        }
        return;
    }
    if (m_mode.lone && m_opened.count(projector) == 0) {
        m_failed(ExitCode::PortFailed, reason);
        return;
    }
    m_readable.lost(projector);
    const bool newlyLost = m_lost.insert(projector).second;
    // A person's line keeps to the reason, within its width; stderr says what happens next too.
    if (newlyLost && readable())
        tell(projector, time, reason);
    else if (newlyLost)
        tell(projector, time,
             reason + "; opening it again every " + std::to_string(StatusWatch::FirstReopenPause.count()) +
                 " to " + std::to_string(StatusWatch::LongestReopenPause.count()) + " s");
    print(projector, time, newlyLost ? "lost" : "still_lost", reason);
}

void WatchPrinter::exchanged(const std::string &projector, const Exchange &exchange, bool changed)
{
    if (m_mode.quiet)
        return;
    const std::string time = now();
    if (readable()) {
        if (const auto line =
                m_readable.exchanged(time.substr(0, ReadableTimeLength), projector, exchange, changed))
            write(QByteArray::fromStdString(*line) + '\n');
        return;
    }
    if (!changed)
        return;
    const std::string name = m_mode.lone ? std::string() : projector;
    write(m_mode.json ? exchangeJson(exchange, time, name) : exchangeText(exchange, time, name));
}

void WatchPrinter::roundEnded(const std::string &projector, bool)
{
    if (m_mode.quiet || !readable())
        return;
    if (const auto line = m_readable.roundEnded(now().substr(0, ReadableTimeLength), projector))
        write(QByteArray::fromStdString(*line) + '\n');
}

void WatchPrinter::lineLent(const std::string &projector, const std::string &to)
{
    const std::string time = now();
    tell(projector, time, lendText(to));
    if (m_mode.json)
        write(lentJson(time, projector, to));
}

void WatchPrinter::pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome)
{
    const std::string time = now();
    toStderr(projector, time, "press " + pressRecord(from, outcome));
    if (m_mode.json)
        write(pressJson(time, projector, from, outcome));
}
