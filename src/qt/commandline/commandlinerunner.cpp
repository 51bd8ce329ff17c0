#include "qt/commandline/commandlinerunner.h"

#include "console/commandlinemode.h"
#include "program.h"
#include "qt/commandline/exchangeoutput.h"
#include "qt/commandline/portendpoints.h"
#include "qt/commandline/scriptreader.h"
#include "qt/links/qtserialport.h"
#include "qt/window/qttimer.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include <QCoreApplication>
#include <QTimer>

namespace {
// Each line as it happens, for whoever reads the other end of a pipe.
bool writeOut(const QByteArray &line)
{
    return std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout) == std::size_t(line.size()) &&
           std::fflush(stdout) == 0;
}
} // namespace

int runCommandLineMode(int argc, char *argv[], const ConsoleOptions &options, TrafficLog *log)
{
    QCoreApplication app(argc, argv);
    CommandSource texts;
    std::unique_ptr<ScriptReader> script;
    if (options.script.isEmpty()) {
        for (const std::string &text : options.sends)
            texts.add(text);
        texts.end();
    } else {
        try {
            script = std::make_unique<ScriptReader>(options.script.toLocal8Bit().toStdString(), texts);
        } catch (const std::runtime_error &error) {
            std::fprintf(stderr, "tavo-console: %s\n", error.what());
            return UsageExitCode;
        }
    }
    const PortEndpoints endpoints(options);
    QtSerialPort port(endpoints.endpoint(1), endpoints.endpoint(2));
    port.setTrafficLog(log);
    port.setOnNotice(
        [](const std::string &text) { std::fprintf(stderr, "tavo-console: %s\n", text.c_str()); });
    QtTimer wait(options.wait);
    const bool json = options.json;
    CommandLineMode mode(
        port, wait, [] { return std::chrono::steady_clock::now().time_since_epoch(); }, texts,
        options.settings, options.wait,
        [json](const Exchange &exchange) {
            return writeOut(json ? exchangeJson(exchange) : exchangeText(exchange));
        },
        [json, &port](int exitCode, const std::string &error) {
            if (!error.empty())
                std::fprintf(stderr, "tavo-console: %s\n", error.c_str());
            // A script reading the output learns why it ended there too, unless the output itself failed.
            if (json && !error.empty() && exitCode != CommandLineMode::WriteFailed)
                writeOut(failureJson(error, port.portName(), exitCode));
            QCoreApplication::exit(exitCode);
        });
    QTimer::singleShot(0, &app, [&mode] { mode.start(); });
    return QCoreApplication::exec();
}
