#include "qt/commandline.h"

#include "qt/links/portlist.h"

#include <stdexcept>

#include <QCommandLineParser>

namespace {
constexpr int UsageExitCode = 2;
const QString DefaultEndpoint = QStringLiteral("auto");
const QString EndpointHelp = QStringLiteral(
    "Where %1 reaches the projector: a device path; auto (the default), the %2 USB serial adapter, else %3; "
    "tcp://HOST:PORT, a serial device server, whose own setting is the line's speed; "
    "rfc2217://HOST:PORT, a server that takes the speed from the console.");
} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Drives a data projector over an RS-232C serial line."));
    const QCommandLineOption com1(QStringLiteral("com1"), EndpointHelp.arg("COM1", "first", "/dev/ttyS0"),
                                  QStringLiteral("ENDPOINT"), DefaultEndpoint);
    const QCommandLineOption com2(QStringLiteral("com2"), EndpointHelp.arg("COM2", "second", "/dev/ttyS1"),
                                  QStringLiteral("ENDPOINT"), DefaultEndpoint);
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Connect COM1 and COM2 to simulated projectors on pseudo-terminals."));
    const QCommandLineOption listPorts(
        QStringLiteral("list-ports"),
        QStringLiteral("List the serial ports found, one line each, and exit."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions({com1, com2, simulate, listPorts});

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.exitCode = UsageExitCode;
        result.error = QStringLiteral("tavo-console: %1 (see --help)").arg(parser.errorText());
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.exitCode = UsageExitCode;
        result.error = QStringLiteral("tavo-console: unexpected argument '%1' (see --help)")
                           .arg(parser.positionalArguments().first());
        return result;
    }
    if (parser.isSet(help)) {
        result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.output = ConsoleVersion + QLatin1Char('\n');
        return result;
    }
    if (parser.isSet(listPorts)) {
        result.output = QString::fromStdString(portListing(availablePorts()));
        return result;
    }
    if (parser.isSet(simulate) && (parser.isSet(com1) || parser.isSet(com2))) {
        result.exitCode = UsageExitCode;
        result.error = QStringLiteral("tavo-console: --simulate names its own devices (see --help)");
        return result;
    }
    try {
        result.options = {parseEndpoint(parser.value(com1).toStdString()),
                          parseEndpoint(parser.value(com2).toStdString()), parser.isSet(simulate)};
    } catch (const std::invalid_argument &error) {
        result.exitCode = UsageExitCode;
        result.error = QStringLiteral("tavo-console: %1").arg(QString::fromStdString(error.what()));
        return result;
    }
    result.run = true;
    return result;
}
