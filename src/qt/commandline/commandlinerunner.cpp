#include "qt/commandline/commandlinerunner.h"

#include "exchange/commandlinemode.h"
#include "exchange/exchangeengine.h"
#include "program.h"
#include "qt/commandline/scriptreader.h"
#include "qt/commandline/watchoutputs.h"
#include "qt/commandline/watchprinter.h"
#include "qt/exchange/exchangeoutput.h"
#include "qt/platform/descriptorlimit.h"
#include "qt/platform/qttimer.h"
#include "qt/platform/standardoutput.h"
#include "qt/platform/stopsignals.h"
#include "qt/port/portendpoints.h"
#include "qt/port/qtserialport.h"
#include "watch/fleetwatch.h"
#include "watch/presslog.h"
#include "watch/pressrule.h"
#include "wire/printable.h"

#include <cstdio>
#include <iterator>
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
    return {FleetProjector{{}, endpoints.endpoint(1), options.settings}};
}

// The ports and timers a watch's lines run on: for each projector one port and three timers, made as
// the watch asks for them.
struct WatchLines
{
    TrafficLog *log = nullptr;
    FleetPlan plan;
    std::vector<std::unique_ptr<QtSerialPort>> ports{};
    std::map<std::string, const QtSerialPort *> portByName{};
    std::vector<std::unique_ptr<QtTimer>> timers{};
    // Told of each port's change once it is built.
    FleetWatch *watching = nullptr;

    WatchParts partsFor(const FleetProjector &projector)
    {
        ports.push_back(makePort(projector.endpoint, projector.endpoint, log));
        // A fleet's line is named by its projector; a lone watch's is COM1, as everywhere else.
        ports.back()->setName(projector.name);
        portByName[projector.name] = ports.back().get();
        ports.back()->setOnChanged([this, name = projector.name] {
            if (watching)
                watching->portChanged(name);
        });
        const std::chrono::milliseconds intervals[] = {plan.period, plan.wait, plan.period,
                                                       PressRule::HoldLimit};
        for (const std::chrono::milliseconds interval : intervals)
            timers.push_back(std::make_unique<QtTimer>(interval));
        const std::size_t first = timers.size() - std::size(intervals);
        return WatchParts{*ports.back(), *timers[first], *timers[first + 1], *timers[first + 2],
                          *timers[first + 3]};
    }
};

// Runs the event loop until the watch ends or a stop signal comes; a stop leaves the output its share
// of the stop's deadline.
void watchUntilStopped(QCoreApplication &app, FleetWatch &fleet,
                       std::optional<std::chrono::milliseconds> &outputWait)
{
    const StopSignals stopSignals([&] {
        fleet.stop();
        outputWait = StoppedOutputWait;
        QCoreApplication::exit();
    });
    QTimer::singleShot(0, &app, [&fleet] { fleet.start(); });
    QCoreApplication::exec();
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
    if (const std::optional<std::string> noRoom = roomForOpenFiles(projectors.size()); noRoom && !lone) {
        tell(*noRoom);
        return exitStatus(ExitCode::BadInput);
    }
    WatchLines lines{log, FleetPlan{options.queries, options.watch, options.wait, options.gap}};
    FleetWatch fleet(
        projectors, lines.plan,
        [&lines](const FleetProjector &projector) { return lines.partsFor(projector); }, steadyNow);
    const std::unique_ptr<StandardOutput> out = standardOutput();
    ExitCode ended = ExitCode::AllAnswered;
    std::optional<std::chrono::milliseconds> outputWait;
    const auto endWatch = [&](ExitCode exitCode, const std::string &error) {
        fleet.stop();
        endRun(ended, exitCode, error, *out, options.json, lines.ports.front()->portName());
    };
    std::vector<std::unique_ptr<FleetObserver>> outputs;
    try {
        outputs = watchOutputs(options, fleet, tell, endWatch);
    } catch (const std::runtime_error &error) {
        tell(error.what());
        return exitStatus(ExitCode::BadInput);
    }
    const auto portOf = [&lines](const std::string &projector) {
        return lines.portByName.at(projector)->portName();
    };
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
        watchUntilStopped(app, fleet, outputWait);
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
