#pragma once

#include "console/exitcode.h"
#include "console/fleetobserver.h"
#include "qt/platform/standardoutput.h"

#include <functional>
#include <set>
#include <string>

// A watch on standard output: the first round whole, then each answer that changed, one line each, as
// text or JSON (in a fleet, each line names its projector); a line lost and back again on stderr.
class WatchPrinter : public FleetObserver
{
public:
    // Why printing cannot go on: the output failed, or (for a lone watch) its line never opened.
    using Failed = std::function<void(ExitCode, const std::string &error)>;

    // A lone watch names no projector, and ends when its line cannot be opened at start.
    WatchPrinter(StandardOutput &out, bool json, bool lone, Failed failed);

    void lineChanged(const std::string &projector, bool connected, const std::string &reason) override;
    void exchanged(const std::string &projector, const Exchange &exchange, bool changed) override;

private:
    void tell(const std::string &projector, const std::string &text) const;

    StandardOutput &m_out;
    bool m_json;
    bool m_lone;
    Failed m_failed;
    // Projectors whose line was told lost, and those whose line has been open.
    std::set<std::string> m_lost;
    std::set<std::string> m_opened;
};
