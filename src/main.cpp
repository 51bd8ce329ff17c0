#include "console/exitcode.h"
#include "link/trafficlog.h"
#include "program.h"
#include "qt/commandline/commandline.h"
#include "qt/commandline/commandlinerunner.h"
#include "qt/links/logfile.h"
#include "qt/window/consoleapp.h"
#include "qt/window/displaycheck.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <QCoreApplication>

namespace {
constexpr int NoDisplayExitCode = 1;

// Writes out what the log still holds, waiting no longer than its exit wait; false when anything was
// not written (a failure was told when it happened; lines left over are counted here).
bool closeLog(TrafficLog *log)
{
    if (!log)
        return true;
    const std::size_t unwritten = log->close();
    if (unwritten > 0)
        std::fprintf(
            stderr,
            "tavo-console: the traffic log %s could not take its last %zu lines in time; they are lost\n",
            log->name().c_str(), unwritten);
    return unwritten == 0 && !log->failed();
}
} // namespace

int main(int argc, char *argv[])
{
    CommandLine commandLine;
    {
        // Read before the window system is needed, so --help and a bad option work without a display.
        QCoreApplication probe(argc, argv);
        commandLine = parseCommandLine(std::vector<std::string>(argv, argv + argc));
    }
    if (!commandLine.run) {
        if (!commandLine.error.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(commandLine.error));
        std::fputs(qPrintable(commandLine.output), stdout);
        return commandLine.exitCode;
    }
    const ConsoleOptions &options = commandLine.options;

    std::unique_ptr<TrafficLog> log;
    if (!options.logFile.isEmpty()) {
        const std::string path = options.logFile.toStdString();
        try {
            log = std::make_unique<TrafficLog>(openLogFile(path), path, options.logMax);
        } catch (const std::runtime_error &error) {
            std::fprintf(stderr, "tavo-console: %s\n", error.what());
            return UsageExitCode;
        }
    }
    if (options.commandLineMode()) {
        const int exitCode = options.statusWatch() ? runStatusWatch(argc, argv, options, log.get())
                                                   : runCommandLineMode(argc, argv, options, log.get());
        return closeLog(log.get()) ? exitCode : exitStatus(withWriteFailure(ExitCode(exitCode)));
    }
    if (!displayAvailable(QProcessEnvironment::systemEnvironment())) {
        std::fputs("tavo-console: no display; set DISPLAY, or use the command-line mode (--send)\n", stderr);
        return NoDisplayExitCode;
    }
    const int exitCode = runWindow(argc, argv, options, log.get());
    closeLog(log.get());
    return exitCode;
}
