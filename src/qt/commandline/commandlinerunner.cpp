#include "qt/commandline/commandlinerunner.h"

#include "console/commandlinemode.h"
#include "qt/commandline/exchangeoutput.h"
#include "qt/commandline/portendpoints.h"
#include "qt/links/qtserialport.h"
#include "qt/window/qttimer.h"

#include <cstdio>

#include <QCoreApplication>
#include <QTimer>

int runCommandLineMode(int argc, char *argv[], const ConsoleOptions &options, TrafficLog *log)
{
    QCoreApplication app(argc, argv);
    const PortEndpoints endpoints(options);
    QtSerialPort port(endpoints.endpoint(1), endpoints.endpoint(2));
    port.setTrafficLog(log);
    port.setOnNotice(
        [](const std::string &text) { std::fprintf(stderr, "tavo-console: %s\n", text.c_str()); });
    QtTimer wait(options.wait);
    const bool json = options.json;
    CommandLineMode mode(
        port, wait, [] { return std::chrono::steady_clock::now().time_since_epoch(); }, options.sends,
        options.settings, options.wait,
        [json](const Exchange &exchange) {
            const QByteArray line = json ? exchangeJson(exchange) : exchangeText(exchange);
            // Each line as it happens, for whoever reads the other end of a pipe.
            return std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout) ==
                       std::size_t(line.size()) &&
                   std::fflush(stdout) == 0;
        },
        [](int exitCode, const std::string &error) {
            if (!error.empty())
                std::fprintf(stderr, "tavo-console: %s\n", error.c_str());
            QCoreApplication::exit(exitCode);
        });
    QTimer::singleShot(0, &app, [&mode] { mode.start(); });
    return QCoreApplication::exec();
}
