#include "qt/commandline/watchprinter.h"

#include "console/statuswatch.h"
#include "link/trafficline.h"
#include "qt/commandline/exchangeoutput.h"

#include <chrono>
#include <cstdio>

WatchPrinter::WatchPrinter(StandardOutput &out, bool json, bool lone, Failed failed)
    : m_out(out), m_json(json), m_lone(lone), m_failed(std::move(failed))
{
}

void WatchPrinter::tell(const std::string &projector, const std::string &text) const
{
    std::fprintf(stderr, "tavo-console: %s%s\n", m_lone ? "" : (projector + ": ").c_str(), text.c_str());
}

void WatchPrinter::lineChanged(const std::string &projector, bool connected, const std::string &reason)
{
    if (connected) {
        m_opened.insert(projector);
        if (m_lost.erase(projector) > 0)
            tell(projector, reason);
        return;
    }
    if (m_lone && m_opened.count(projector) == 0) {
        m_failed(ExitCode::PortFailed, reason);
        return;
    }
    if (!m_lost.insert(projector).second)
        return;
    tell(projector, reason + "; opening it again every " +
                        std::to_string(StatusWatch::FirstReopenPause.count()) + " to " +
                        std::to_string(StatusWatch::LongestReopenPause.count()) + " s");
}

void WatchPrinter::exchanged(const std::string &projector, const Exchange &exchange, bool changed)
{
    if (!changed || m_out.failed())
        return;
    const std::string time = trafficTimestamp(std::chrono::system_clock::now());
    const std::string name = m_lone ? std::string() : projector;
    if (!m_out.write(m_json ? exchangeJson(exchange, time, name) : exchangeText(exchange, time, name)))
        m_failed(ExitCode::WriteFailed, "the output could not be written; the watch stopped");
}
