#pragma once

#include "exchange/exitcode.h"
#include "qt/platform/standardoutput.h"
#include "watch/fleetobserver.h"

#include <functional>
#include <set>
#include <string>

// A watch on standard output: the first round whole (again when a lost line is back), then each answer
// that changed, one line each, as
// text or JSON (in a fleet, each line names its projector). A line lost and back again is told on stderr
// with the time; with JSON, it and each open again that failed are objects in the same stream too, so a
// collector sees the whole outage.
class WatchPrinter : public FleetObserver
{
public:
    // Why printing cannot go on: the output failed, or (for a lone watch) its line never opened.
    using Failed = std::function<void(ExitCode, const std::string &error)>;
    // The port a projector's line is on, as messages name it.
    using PortOf = std::function<std::string(const std::string &projector)>;

    // A lone watch names no projector, and ends when its line cannot be opened at start.
    WatchPrinter(StandardOutput &out, bool json, bool lone, PortOf portOf, Failed failed);

    void lineChanged(const std::string &projector, bool connected, const std::string &reason) override;
    void exchanged(const std::string &projector, const Exchange &exchange, bool changed) override;
    // Every press is recorded on stderr and, with JSON, in the same stream.
    void pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome) override;

private:
    void tell(const std::string &projector, const std::string &time, const std::string &text) const;
    // The line's change as a JSON object, with JSON output.
    void print(const std::string &projector, const std::string &time, const std::string &line,
               const std::string &reason);

    StandardOutput &m_out;
    bool m_json;
    bool m_lone;
    PortOf m_portOf;
    Failed m_failed;
    // Projectors whose line was told lost, and those whose line has been open.
    std::set<std::string> m_lost;
    std::set<std::string> m_opened;
};
