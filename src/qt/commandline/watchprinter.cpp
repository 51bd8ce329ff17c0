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
} // namespace

WatchPrinter::WatchPrinter(StandardOutput &out, bool json, bool lone, PortOf portOf, Failed failed)
    : m_out(out), m_json(json), m_lone(lone), m_portOf(std::move(portOf)), m_failed(std::move(failed))
{
}

void WatchPrinter::tell(const std::string &projector, const std::string &time, const std::string &text) const
{
    const std::string line = time + " " + (m_lone ? "" : projector + ": ") + text;
    std::fprintf(stderr, "tavo-console: %s\n", printable(line).c_str());
}

void WatchPrinter::print(const std::string &projector, const std::string &time, const std::string &line,
                         const std::string &reason)
{
    if (!m_json || m_out.failed())
        return;
    if (!m_out.write(lineJson(time, m_portOf(projector), line, reason, m_lone ? std::string() : projector)))
        m_failed(ExitCode::WriteFailed, "the output could not be written; the watch stopped");
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
    if (m_lone && m_opened.count(projector) == 0) {
        m_failed(ExitCode::PortFailed, reason);
        return;
    }
    const bool newlyLost = m_lost.insert(projector).second;
    if (newlyLost)
        tell(projector, time,
             reason + "; opening it again every " + std::to_string(StatusWatch::FirstReopenPause.count()) +
                 " to " + std::to_string(StatusWatch::LongestReopenPause.count()) + " s");
    print(projector, time, newlyLost ? "lost" : "still_lost", reason);
}

void WatchPrinter::exchanged(const std::string &projector, const Exchange &exchange, bool changed)
{
    if (!changed || m_out.failed())
        return;
    const std::string time = now();
    const std::string name = m_lone ? std::string() : projector;
    if (!m_out.write(m_json ? exchangeJson(exchange, time, name) : exchangeText(exchange, time, name)))
        m_failed(ExitCode::WriteFailed, "the output could not be written; the watch stopped");
}

void WatchPrinter::pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome)
{
    const std::string time = now();
    tell(projector, time, "press " + pressRecord(from, outcome));
    if (m_json && !m_out.failed() && !m_out.write(pressJson(time, projector, from, outcome)))
        m_failed(ExitCode::WriteFailed, "the output could not be written; the watch stopped");
}
