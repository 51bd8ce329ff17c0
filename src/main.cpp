#include "link/trafficlog.h"
#include "program.h"
#include "qt/commandline/commandline.h"
#include "qt/commandline/commandlinerunner.h"
#include "qt/window/consoleapp.h"
#include "qt/window/displaycheck.h"

#include <cstdio>
#include <optional>
#include <stdexcept>

#include <QCoreApplication>

namespace {
constexpr int NoDisplayExitCode = 1;
} // namespace

int main(int argc, char *argv[])
{
    CommandLine commandLine;
    {
        // Read before the window system is needed, so --help and a bad option work without a display.
        QCoreApplication probe(argc, argv);
        commandLine = parseCommandLine(probe.arguments());
    }
    if (!commandLine.run) {
        if (!commandLine.error.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(commandLine.error));
        std::fputs(qPrintable(commandLine.output), stdout);
        return commandLine.exitCode;
    }
    const ConsoleOptions &options = commandLine.options;

    std::optional<TrafficLog> log;
    if (!options.logFile.isEmpty()) {
        try {
            log.emplace(options.logFile.toStdString());
        } catch (const std::runtime_error &error) {
            std::fprintf(stderr, "tavo-console: %s\n", error.what());
            return UsageExitCode;
        }
    }
    TrafficLog *traffic = log ? &*log : nullptr;
    if (!options.sends.isEmpty())
        return runCommandLineMode(argc, argv, options, traffic);
    if (!displayAvailable(QProcessEnvironment::systemEnvironment())) {
        std::fputs("tavo-console: no display; set DISPLAY, or use the command-line mode (--send)\n", stderr);
        return NoDisplayExitCode;
    }
    return runWindow(argc, argv, options, traffic);
}
