#pragma once

#include "link/endpoint.h"
#include "link/hostport.h"
#include "link/linesettings.h"
#include "link/trafficlog.h"
#include "qt/api/fleetapi.h"
#include "qt/mqtt/mqttoptions.h"
#include "qt/port/portendpoints.h"
#include "watch/fleetobserver.h"
#include "wire/replyperiods.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QString>
#include <QStringList>

// What the command line asks of the console.
struct ConsoleOptions
{
    Endpoint com1;
    Endpoint com2;
    // COM1 and COM2 are simulated projectors on pseudo-terminals; no device may be named then.
    bool simulate = false;
    // The traffic log's file, its name's bytes as given; empty keeps no log.
    std::string logFile;
    // The most bytes the log's file grows to before it moves to FILE.1.
    std::uint64_t logMax = TrafficLog::DefaultFileLimit;
    // The command-line mode: these texts are sent in order, each byte as given, and no window opens.
    // Empty runs the window.
    std::vector<std::string> sends;
    // The command-line mode with its commands read from this file (its name's bytes as given), one a
    // line; "-" reads standard input. Empty reads none.
    std::string script;
    std::string settings = Settings19200;
    // How long a reply may take to reach its CR; a free-form SEND's reply period unless given.
    std::chrono::milliseconds wait = FreeFormPeriods.reply;
    // How long the line rests after each reply before the next command.
    std::chrono::milliseconds gap{0};
    bool json = false;
    // A watch prints only a line lost or back, presses and errors.
    bool quiet = false;
    // A status watch asks its queries every this often; zero runs none.
    std::chrono::seconds watch{0};
    // The projectors a fleet watch watches, from its fleet file; empty watches COM1 alone.
    std::vector<FleetProjector> fleet;
    // The fleet file, its name's bytes as given, read again on SIGHUP; empty without --fleet.
    std::string fleetFile;
    // The status queries a watch asks, in order.
    std::vector<std::string> queries;
    // The fleet watch on an MQTT broker.
    MqttOptions mqtt;
    // Where a fleet watch serves HTTP (its metrics); none serves none.
    std::optional<HostPort> http;
    // Who may press through the API on the HTTP server.
    ApiAccess api;
    // The password of the projectors' PJLink servers; none takes commands from anyone.
    std::optional<std::string> pjlinkPassword;

    // Whether the command-line mode runs instead of the window, and whether as a status watch.
    bool commandLineMode() const { return !sends.empty() || !script.empty() || statusWatch(); }
    bool statusWatch() const { return watch.count() > 0; }
    PortsAsked ports() const { return {com1, com2, simulate}; }
};

// The outcome of reading the command line: run with options, or print and exit.
struct CommandLine
{
    bool run = false;
    int exitCode = 0;
    QString output; // for stdout
    QString error;  // one line for stderr
    ConsoleOptions options;
};

// The arguments as the program got them, the program's name first, one byte per char. Paths and texts
// keep their bytes, whatever the system's text encoding makes of them.
CommandLine parseCommandLine(const std::vector<std::string> &arguments);

// The projectors of a fleet file (its name's bytes as given), read whole up to its limit, each server
// named by what it resolves to now; throws std::runtime_error (FleetFileError) with the reason.
std::vector<FleetProjector> readFleetFile(const std::string &name);

// What the traffic log's first line says of the run: the mode and where COM1 and COM2 lead.
std::string runDescription(const ConsoleOptions &options);
