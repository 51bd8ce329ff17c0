#include "qt/commandline/commandlinerunner.h"

#include "exchange/commandlinemode.h"
#include "exchange/exchangeengine.h"
#include "program.h"
#include "qt/commandline/scriptreader.h"
#include "qt/commandline/watchoutputs.h"
#include "qt/commandline/watchprinter.h"
#include "qt/exchange/exchangeoutput.h"
#include "qt/platform/descriptorlimit.h"
#include "qt/platform/ownerlock.h"
#include "qt/platform/qttimer.h"
#include "qt/platform/standardoutput.h"
#include "qt/platform/stopsignals.h"
#include "qt/port/portendpoints.h"
#include "qt/port/qtserialport.h"
#include "watch/fleetwatch.h"
#include "watch/presslog.h"
#include "watch/pressrule.h"
#include "wire/printable.h"

#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>

namespace {
// How long the lines still queued for standard output are waited for once a watch is stopped, at most;
// the waits at the end share what is left of the stop's deadline.
constexpr auto StoppedOutputWait = std::chrono::milliseconds(500);

void tell(const std::string &text)
{
    std::fprintf(stderr, "tavo-console: %s\n", printable(text).c_str());
}

std::chrono::nanoseconds steadyNow()
{
    return std::chrono::steady_clock::now().time_since_epoch();
}

// Standard output as every run has it: never holding the event loop, and telling when it drops a line.
std::unique_ptr<StandardOutput> standardOutput()
{
    auto out = std::make_unique<StandardOutput>(STDOUT_FILENO);
    out->setOnFirstDrop([] { tell("standard output is not being read; lines are dropped until it is"); });
    return out;
}

// A port that reaches COM1 and COM2 as named, its traffic in the log and its notices on stderr.
std::unique_ptr<QtSerialPort> makePort(const Endpoint &com1, const Endpoint &com2, TrafficLog *log)
{
    auto port = std::make_unique<QtSerialPort>(com1, com2);
    port->setTrafficLog(log);
    port->setOnNotice(tell);
    return port;
}

// The end of every run: the error on stderr and, for a script reading JSON, on standard output too
// (unless that is what failed); the event loop ends.
void endRun(ExitCode &ended, ExitCode exitCode, const std::string &error, StandardOutput &out, bool json,
            const std::string &port)
{
    ended = exitCode;
    if (!error.empty())
        tell(error);
    if (json && !error.empty() && exitCode != ExitCode::WriteFailed)
        out.write(failureJson(error, port, exitStatus(exitCode)));
    QCoreApplication::exit();
}

// The lines still queued are waited for; lines that could not be written are told, and make the run a
// failed write.
int exitAfterOutput(StandardOutput &out, ExitCode ended, std::optional<std::chrono::milliseconds> wait)
{
    out.drain(wait);
    if (out.dropped() == 0)
        return exitStatus(ended);
    tell(std::to_string(out.dropped()) + " lines could not be written to standard output");
    return exitStatus(withWriteFailure(ended));
}

// What a watch watches: every projector of the fleet file, or, alone, COM1 as a fleet of one that names
// no projector.
std::vector<FleetProjector> watchedProjectors(const ConsoleOptions &options, const PortEndpoints &endpoints)
{
    if (!options.fleet.empty())
        return options.fleet;
    return {FleetProjector{{}, endpoints.endpoint(1), options.settings, {}}};
}

// The ports and timers a watch's lines run on: for each projector one port and five timers, made as
// the watch asks for them and freed when it leaves the fleet.
struct WatchLines
{
    // One projector's port, and its round, wait, reopen, hold and silence timers.
    struct Line
    {
        std::unique_ptr<QtSerialPort> port;
        std::array<std::unique_ptr<QtTimer>, 5> timers;
    };

    TrafficLog *log = nullptr;
    FleetPlan plan;
    std::map<std::string, Line> byName{};
    // Told of each port's change once it is built.
    FleetWatch *watching = nullptr;

    WatchParts partsFor(const FleetProjector &projector)
    {
        Line &line = byName[projector.name];
        line.port = makePort(projector.endpoint, projector.endpoint, log);
        // A fleet's line is named by its projector; a lone watch's is COM1, as everywhere else.
        line.port->setName(projector.name);
        line.port->setOnChanged([this, name = projector.name] {
            if (watching)
                watching->portChanged(name);
        });
        const std::array<std::chrono::milliseconds, 5> intervals = {
            plan.period, plan.wait, plan.period, PressRule::HoldLimit, StatusWatch::LentSilenceLimit};
        for (std::size_t i = 0; i < intervals.size(); ++i)
            line.timers[i] = std::make_unique<QtTimer>(intervals[i]);
        return WatchParts{*line.port,      *line.timers[0], *line.timers[1],
                          *line.timers[2], *line.timers[3], *line.timers[4]};
    }
    void release(const std::string &projector) { byName.erase(projector); }
    std::string portName(const std::string &projector) const { return byName.at(projector).port->portName(); }
};

// What a refused hold on the fleet file says.
std::string ownerRefusal(const std::string &file, const OwnerLockHeld &held)
{
    const std::string who = held.holder() > 0 ? " (pid " + std::to_string(held.holder()) + ")" : "";
    return "another tavo-console" + who + " watches this fleet: " + file;
}

// The fleet file held for this run alone; a second console on it is refused before any line opens.
std::optional<std::string> holdFleetFile(const std::string &file, std::optional<OwnerLock> &owner)
{
    try {
        owner.emplace(file);
    } catch (const OwnerLockHeld &held) {
        return ownerRefusal(file, held);
    } catch (const std::runtime_error &error) {
        return "the fleet file " + file + " cannot be locked (" + error.what() + ")";
    }
    return std::nullopt;
}

// The fleet file read again into the running fleet. A file that cannot be read, or is wrong, leaves the
// fleet as it was, said on stderr and to every output.
void reloadFleet(const std::string &file, FleetWatch &fleet, OwnerLock &owner)
{
    std::vector<FleetProjector> projectors;
    std::string refused;
    try {
        projectors = readFleetFile(file);
        if (const std::optional<std::string> noRoom = roomForOpenFiles(projectors.size()))
            refused = *noRoom;
    } catch (const std::runtime_error &error) {
        refused = error.what();
    }
    try {
        owner.renew();
    } catch (const OwnerLockHeld &held) {
        refused = ownerRefusal(file, held);
    } catch (const std::runtime_error &error) {
        refused = "the fleet file " + file + " cannot be locked (" + error.what() + ")";
    }
    if (!refused.empty()) {
        tell(refused + "; the fleet goes on as it was");
        fleet.reloadRefused();
        return;
    }
    tell("the fleet file " + file + " is read again: " + std::to_string(projectors.size()) + " projectors");
    fleet.reload(std::move(projectors));
}

// Runs the event loop until the watch ends or a stop signal comes; a stop leaves the output its share
// of the stop's deadline. With a fleet file held, SIGHUP reads it again.
void watchUntilStopped(QCoreApplication &app, FleetWatch &fleet, const std::string &fleetFile,
                       OwnerLock *owner, std::optional<std::chrono::milliseconds> &outputWait)
{
    std::function<void()> reload;
    if (owner)
        reload = [&fleetFile, &fleet, owner] { reloadFleet(fleetFile, fleet, *owner); };
    const StopSignals stopSignals(
        [&] {
            fleet.stop();
            outputWait = StoppedOutputWait;
            QCoreApplication::exit();
        },
        reload);
    QTimer::singleShot(0, &app, [&fleet] { fleet.start(); });
    QCoreApplication::exec();
}
// Why a fleet watch cannot start: too few files for its lines, or its file held by another console.
std::optional<std::string> fleetRefused(const ConsoleOptions &options, std::optional<OwnerLock> &owner)
{
    if (std::optional<std::string> noRoom = roomForOpenFiles(options.fleet.size()))
        return noRoom;
    return holdFleetFile(options.fleetFile, owner);
}
} // namespace

int runCommandLineMode(int argc, char *argv[], const ConsoleOptions &options, TrafficLog *log)
{
    QCoreApplication app(argc, argv);
    CommandSource texts;
    std::unique_ptr<ScriptReader> script;
    if (options.script.empty()) {
        for (const std::string &text : options.sends)
            texts.add(text);
        texts.end();
    } else {
        script = std::make_unique<ScriptReader>(options.script, texts);
    }
    const std::unique_ptr<StandardOutput> out = standardOutput();
    const PortEndpoints endpoints(options.ports());
    const std::unique_ptr<QtSerialPort> port = makePort(endpoints.endpoint(1), endpoints.endpoint(2), log);
    QtTimer wait(options.wait);
    ExchangeEngine engine(*port, wait, steadyNow, options.wait, options.gap);
    const bool json = options.json;
    ExitCode ended = ExitCode::AllAnswered;
    CommandLineMode mode(
        *port, engine, texts, options.settings,
        [json, &out](const Exchange &exchange) {
            return out->write(json ? exchangeJson(exchange) : exchangeText(exchange));
        },
        [&](ExitCode exitCode, const std::string &error) {
            endRun(ended, exitCode, error, *out, json, port->portName());
        });
    QTimer::singleShot(0, &app, [&mode] { mode.start(); });
    QCoreApplication::exec();
    return exitAfterOutput(*out, ended, std::nullopt);
}

int runStatusWatch(int argc, char *argv[], const ConsoleOptions &options, TrafficLog *log)
{
    QCoreApplication app(argc, argv);
    // Under --simulate, the simulated projectors live as long as the watch.
    const PortEndpoints endpoints(options.ports());
    const bool lone = options.fleet.empty();
    const std::vector<FleetProjector> projectors = watchedProjectors(options, endpoints);
    std::optional<OwnerLock> owner;
    if (const std::optional<std::string> refused = lone ? std::nullopt : fleetRefused(options, owner)) {
        tell(*refused);
        return exitStatus(ExitCode::BadInput);
    }
    WatchLines lines{log, FleetPlan{options.queries, options.watch, options.wait, options.gap}};
    FleetWatch fleet(
        projectors, lines.plan,
        [&lines](const FleetProjector &projector) { return lines.partsFor(projector); }, steadyNow,
        [&lines](const std::string &projector) { lines.release(projector); });
    const std::unique_ptr<StandardOutput> out = standardOutput();
    ExitCode ended = ExitCode::AllAnswered;
    std::optional<std::chrono::milliseconds> outputWait;
    const auto endWatch = [&](ExitCode exitCode, const std::string &error) {
        fleet.stop();
        endRun(ended, exitCode, error, *out, options.json, lines.portName(fleet.projectors().front().name));
    };
    std::vector<std::unique_ptr<FleetObserver>> outputs;
    try {
        outputs = watchOutputs(options, fleet, tell, endWatch);
    } catch (const std::runtime_error &error) {
        tell(error.what());
        return exitStatus(ExitCode::BadInput);
    }
    const auto portOf = [&lines](const std::string &projector) { return lines.portName(projector); };
    WatchPrinter printer(*out, PrintMode{options.json, lone, options.quiet}, portOf,
                         [&](ExitCode exitCode, const std::string &error) {
                             // Standard output failing leaves the other outputs fed; alone, it ends the
                             // watch.
                             if (exitCode == ExitCode::WriteFailed && !outputs.empty()) {
                                 tell(error.substr(0, error.find(';')) + "; the other outputs go on");
                                 return;
                             }
                             endWatch(exitCode, error);
                         });
    fleet.addObserver(printer);
    std::optional<PressLog> pressLog;
    if (log)
        fleet.addObserver(pressLog.emplace(*log));
    for (const std::unique_ptr<FleetObserver> &output : outputs)
        fleet.addObserver(*output);
    lines.watching = &fleet;
    try {
        watchUntilStopped(app, fleet, options.fleetFile, owner ? &*owner : nullptr, outputWait);
    } catch (const std::runtime_error &error) {
        tell(error.what());
        return exitStatus(ExitCode::PortFailed);
    }
    fleet.stop();
    lines.watching = nullptr;
    if (outputWait)
        outputWait = StopSignals::waitLeft(*outputWait);
    const int exitCode = exitAfterOutput(*out, ended, outputWait);
    return out->failed() && ended != ExitCode::WriteFailed ? exitStatus(withWriteFailure(ended)) : exitCode;
}
