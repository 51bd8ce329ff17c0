#include "link/trafficlog.h"
#include "program.h"
#include "qt/commandline/commandline.h"
#include "qt/commandline/commandlinemode.h"
#include "qt/commandline/exchangeoutput.h"
#include "qt/links/qtserialport.h"
#include "qt/simulator/simulatedprojector.h"
#include "qt/window/consoleapp.h"
#include "qt/window/displaycheck.h"
#include "qt/window/linebytes.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>

#include <QApplication>
#include <QTimer>

namespace {
constexpr int NoDisplayExitCode = 1;

// The command-line mode: no window, COM1 only, one line per command on stdout.
int runCommandLineMode(int argc, char *argv[], const ConsoleOptions &options, TrafficLog *log)
{
    QCoreApplication app(argc, argv);
    std::unique_ptr<SimulatedProjector> simulator;
    if (options.simulate)
        simulator = std::make_unique<SimulatedProjector>();
    QtSerialPort port(simulator ? parseEndpoint(simulator->slavePath()) : options.com1, options.com2);
    port.setTrafficLog(log);
    std::vector<std::string> texts;
    for (const QString &text : options.sends)
        texts.push_back(lineBytes(text));
    const bool json = options.json;
    CommandLineMode mode(
        port, std::move(texts), options.settings, options.wait,
        [json](const Exchange &exchange) {
            const QByteArray line = json ? exchangeJson(exchange) : exchangeText(exchange);
            // Each line as it happens, for whoever reads the other end of a pipe.
            std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
            std::fflush(stdout);
        },
        [](int exitCode, const std::string &error) {
            if (!error.empty())
                std::fprintf(stderr, "tavo-console: %s\n", error.c_str());
            QCoreApplication::exit(exitCode);
        });
    QTimer::singleShot(0, &mode, &CommandLineMode::start);
    return QCoreApplication::exec();
}

int runWindow(int argc, char *argv[], const ConsoleOptions &options, TrafficLog *log)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavo-console"));
    QApplication::setApplicationVersion(QStringLiteral(TAVO_VERSION));
    std::unique_ptr<ConsoleApp> consoleApp;
    try {
        consoleApp = std::make_unique<ConsoleApp>(options, log);
    } catch (const std::runtime_error &error) {
        std::fprintf(stderr, "tavo-console: %s\n", error.what());
        return 1;
    }
    ConsoleApp &console = *consoleApp;
    if (!console.simulators().empty())
        std::fprintf(stderr, "tavo-console: simulated projectors: COM1 on %s, COM2 on %s\n",
                     console.simulators()[0]->slavePath().c_str(),
                     console.simulators()[1]->slavePath().c_str());
    if (!console.start())
        return 1;
    return QApplication::exec();
}
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
