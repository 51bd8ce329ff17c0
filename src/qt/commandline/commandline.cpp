#include "qt/commandline/commandline.h"

#include "program.h"
#include "qt/links/portlist.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include <QCommandLineParser>

namespace {
const QString DefaultEndpoint = QStringLiteral("auto");

QString usageError(const QString &text)
{
    return QStringLiteral("tavo-console: %1 (see --help)").arg(text);
}

std::optional<std::string> settingsForSpeed(const QString &speed)
{
    if (speed == QLatin1String("19200"))
        return Settings19200;
    if (speed == QLatin1String("9600"))
        return Settings9600;
    return std::nullopt;
}

// A whole number of milliseconds above 0, written in digits only.
std::optional<std::chrono::milliseconds> positiveMilliseconds(const QString &text)
{
    bool isNumber = false;
    const int value = text.toInt(&isNumber);
    const bool digitsOnly = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (!isNumber || !digitsOnly || value <= 0)
        return std::nullopt;
    return std::chrono::milliseconds(value);
}
} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Drives a data projector over an RS-232C serial line."));
    const QCommandLineOption com1(QStringLiteral("com1"), QString::fromStdString(endpointHelp(1)),
                                  QStringLiteral("ENDPOINT"), DefaultEndpoint);
    const QCommandLineOption com2(QStringLiteral("com2"), QString::fromStdString(endpointHelp(2)),
                                  QStringLiteral("ENDPOINT"), DefaultEndpoint);
    const QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Connect COM1 and COM2 to simulated projectors on pseudo-terminals."));
    const QCommandLineOption listPorts(
        QStringLiteral("list-ports"),
        QStringLiteral("List the serial ports found, one line each, and exit."));
    const QCommandLineOption send(
        QStringLiteral("send"),
        QStringLiteral(
            "Command-line mode: no window; send TEXT and a CR on COM1, print the reply's trace and, "
            "for a status query, its meaning, then the next TEXT. Repeat for more."),
        QStringLiteral("TEXT"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("With --send: the line's speed, 9600 or 19200 (default)."),
                                   QStringLiteral("BAUD"));
    const QCommandLineOption wait(
        QStringLiteral("wait"),
        QStringLiteral("With --send: how long a reply may take to reach its CR (default %1).")
            .arg(FreeFormPeriods.reply.count()),
        QStringLiteral("MS"));
    const QCommandLineOption json(
        QStringLiteral("json"), QStringLiteral("With --send: one JSON object per command instead of text."));
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral(
            "Append every byte sent and received, and every port opened, closed or lost, to FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption helpAll(QStringLiteral("help-all"));
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions({com1, com2, simulate, listPorts, send, speed, wait, json, log});

    CommandLine result;
    auto refuse = [&result](const QString &text) {
        result.exitCode = UsageExitCode;
        result.error = usageError(text);
        return result;
    };
    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    // Qt's own --help-all would list Qt's options too; the console takes none of them.
    if (parser.isSet(help) || parser.isSet(helpAll)) {
        result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.output = QStringLiteral(TAVO_VERSION) + QLatin1Char('\n');
        return result;
    }
    if (parser.isSet(listPorts)) {
        result.output = QString::fromStdString(portListing(availablePorts()));
        return result;
    }
    if (parser.isSet(simulate) && (parser.isSet(com1) || parser.isSet(com2)))
        return refuse(QStringLiteral("--simulate names its own devices"));
    ConsoleOptions options;
    try {
        options.com1 = parseEndpoint(parser.value(com1).toStdString());
        options.com2 = parseEndpoint(parser.value(com2).toStdString());
    } catch (const std::invalid_argument &error) {
        result.exitCode = UsageExitCode;
        result.error = QStringLiteral("tavo-console: %1").arg(QString::fromStdString(error.what()));
        return result;
    }
    options.simulate = parser.isSet(simulate);
    if (parser.isSet(log) && parser.value(log).isEmpty())
        return refuse(QStringLiteral("--log needs a file name"));
    options.logFile = parser.value(log);
    options.sends = parser.values(send);
    options.json = parser.isSet(json);
    for (const QCommandLineOption *own : {&speed, &wait}) {
        if (parser.isSet(*own) && options.sends.isEmpty())
            return refuse(QStringLiteral("--%1 belongs to the command-line mode; give --send too")
                              .arg(own->names().first()));
    }
    if (parser.isSet(speed)) {
        const auto settings = settingsForSpeed(parser.value(speed));
        if (!settings)
            return refuse(QStringLiteral("--speed is 9600 or 19200, not '%1'").arg(parser.value(speed)));
        options.settings = *settings;
    }
    if (parser.isSet(wait)) {
        const auto milliseconds = positiveMilliseconds(parser.value(wait));
        if (!milliseconds)
            return refuse(QStringLiteral("--wait takes a positive number of milliseconds, not '%1'")
                              .arg(parser.value(wait)));
        options.wait = *milliseconds;
    }
    result.run = true;
    result.options = options;
    return result;
}
