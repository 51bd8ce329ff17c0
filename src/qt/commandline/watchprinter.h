#pragma once

#include "exchange/exitcode.h"
#include "qt/platform/standardoutput.h"
#include "watch/fleetobserver.h"
#include "watch/readablelines.h"

#include <functional>
#include <set>
#include <string>

// How a watch prints: as JSON or text, for a lone projector or a fleet, and whether quietly (only the
// lines lost and back, lent and taken back, presses and errors, for a service whose values go to metrics
// and MQTT).
struct PrintMode
{
    bool json = false;
    bool lone = false;
    bool quiet = false;
};

// A watch on standard output: the first round whole (again when a lost line is back), then each answer
// that changed. A lone watch prints each exchange as the command-line mode does; a fleet's text is one
// line per projector's first round and one per changed value, as a person reads them; JSON is one object
// per exchange, naming the projector in a fleet. A line lost and back again is told on stderr with the
// time (in a fleet's text, on standard output among its values); with JSON, it and each open again that
// failed are objects in the same stream too, so a collector sees the whole outage. A line lent and taken
// back is told the same way. Every press is told on stderr, and with JSON in the stream.
class WatchPrinter : public FleetObserver
{
public:
    // Why printing cannot go on: the output failed, or (for a lone watch) its line never opened.
    using Failed = std::function<void(ExitCode, const std::string &error)>;
    // The port a projector's line is on, as messages name it.
    using PortOf = std::function<std::string(const std::string &projector)>;

    // A lone watch names no projector, and ends when its line cannot be opened at start.
    WatchPrinter(StandardOutput &out, PrintMode mode, PortOf portOf, Failed failed);

    void projectorAdded(const FleetProjector &projector) override;
    void lineChanged(const std::string &projector, bool connected, const std::string &reason) override;
    void exchanged(const std::string &projector, const Exchange &exchange, bool changed) override;
    void roundEnded(const std::string &projector, bool answered) override;
    void pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome) override;
    void lineLent(const std::string &projector, const std::string &to) override;

private:
    bool readable() const { return !m_mode.json && !m_mode.lone; }
    void toStderr(const std::string &projector, const std::string &time, const std::string &text) const;
    // A line's change: on stderr, or among a fleet's text.
    void tell(const std::string &projector, const std::string &time, const std::string &text);
    // The line's change as a JSON object, with JSON output.
    void print(const std::string &projector, const std::string &time, const std::string &line,
               const std::string &reason);
    void write(const QByteArray &line);

    StandardOutput &m_out;
    PrintMode m_mode;
    PortOf m_portOf;
    Failed m_failed;
    ReadableLines m_readable;
    // Projectors whose line was told lost, and those whose line has been open.
    std::set<std::string> m_lost;
    std::set<std::string> m_opened;
};
