#include "exchange/exitcode.h"
#include "link/trafficlog.h"
#include "program.h"
#include "qt/commandline/commandline.h"
#include "qt/commandline/commandlinerunner.h"
#include "qt/links/logfile.h"
#include "qt/platform/stopsignals.h"
#include "qt/window/consoleapp.h"
#include "qt/window/displaycheck.h"
#include "wire/printable.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>

namespace {
constexpr int NoDisplayExitCode = 1;

// Standard input, output and error that the caller closed are held by /dev/null, read-only, so that no
// file the program opens later takes their numbers: input reads its end at once and output fails as
// a closed pipe does. Returns whether standard input was open.
bool holdClosedStandardDescriptors()
{
    bool inputOpen = true;
    for (const int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF)
            continue;
        inputOpen = inputOpen && descriptor != STDIN_FILENO;
        // The lowest free number is this one, as the lower ones are open.
        static_cast<void>(::open("/dev/null", O_RDONLY));
    }
    return inputOpen;
}

// Writes out what the log still holds, waiting no longer than its exit wait nor, after a stop signal,
// than the deadline the waits at the end share; false when anything was not written (a failure was told
// when it happened; lines left over are counted here).
bool closeLog(TrafficLog *log)
{
    if (!log)
        return true;
    const std::size_t unwritten = log->close(StopSignals::waitLeft(TrafficLog::ExitWait));
    if (unwritten > 0)
        std::fprintf(
            stderr,
            "tavo-console: the traffic log %s could not take its last %zu lines in time; they are lost\n",
            printable(log->name()).c_str(), unwritten);
    return unwritten == 0 && !log->failed();
}
} // namespace

int main(int argc, char *argv[])
{
    // A reader that went away is a failed write, told and ended with its exit code, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    const bool inputOpen = holdClosedStandardDescriptors();
    CommandLine commandLine;
    {
        // Read before the window system is needed, so --help and a bad option work without a display.
        QCoreApplication probe(argc, argv);
        commandLine = parseCommandLine(std::vector<std::string>(argv, argv + argc));
    }
    if (!commandLine.run) {
        if (!commandLine.error.isEmpty())
            std::fprintf(stderr, "%s\n", printable(commandLine.error.toStdString()).c_str());
        std::fputs(qPrintable(commandLine.output), stdout);
        return commandLine.exitCode;
    }
    const ConsoleOptions &options = commandLine.options;
    if (options.script == "-" && !inputOpen) {
        std::fputs("tavo-console: --script - reads standard input, and it is closed\n", stderr);
        return UsageExitCode;
    }

    std::unique_ptr<TrafficLog> log;
    if (!options.logFile.empty()) {
        try {
            log = std::make_unique<TrafficLog>(openLogFile(options.logFile), options.logFile, options.logMax);
        } catch (const std::runtime_error &error) {
            std::fprintf(stderr, "tavo-console: %s\n", printable(error.what()).c_str());
            return UsageExitCode;
        }
        log->write("START", "tavo-console " TAVO_VERSION, runDescription(options));
    }
    if (options.commandLineMode()) {
        ExitCode exitCode = ExitCode::PortFailed;
        try {
            exitCode = ExitCode(options.statusWatch() ? runStatusWatch(argc, argv, options, log.get())
                                                      : runCommandLineMode(argc, argv, options, log.get()));
        } catch (const std::runtime_error &error) {
            // --simulate without a pseudo-terminal to put the projectors on: COM1 cannot be opened.
            std::fprintf(stderr, "tavo-console: %s\n", error.what());
        }
        return exitStatus(closeLog(log.get()) ? exitCode : withWriteFailure(exitCode));
    }
    if (!displayAvailable(QProcessEnvironment::systemEnvironment())) {
        std::fputs("tavo-console: no display; set DISPLAY, or use the command-line mode (--send)\n", stderr);
        return NoDisplayExitCode;
    }
    const int exitCode = runWindow(argc, argv, options.ports(), log.get());
    closeLog(log.get());
    return exitCode;
}
