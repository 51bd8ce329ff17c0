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

bool digitsOnly(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

// A whole number of milliseconds above 0, written in digits only.
std::optional<std::chrono::milliseconds> positiveMilliseconds(const QString &text)
{
    bool isNumber = false;
    const int value = text.toInt(&isNumber);
    if (!isNumber || !digitsOnly(text) || value <= 0)
        return std::nullopt;
    return std::chrono::milliseconds(value);
}

// A whole number of bytes above 0, written in digits only.
std::optional<std::uint64_t> positiveBytes(const QString &text)
{
    bool isNumber = false;
    const qulonglong value = text.toULongLong(&isNumber);
    if (!isNumber || !digitsOnly(text) || value == 0)
        return std::nullopt;
    return std::uint64_t(value);
}
} // namespace

CommandLine parseCommandLine(const std::vector<std::string> &arguments)
{
    // Read as the system's text, as Qt reads them; and, for the texts to send, as Latin-1, where each
    // char is the byte given. The options are ASCII, so both readings split the arguments alike.
    QStringList texts;
    QStringList bytes;
    for (const std::string &argument : arguments) {
        texts.append(QString::fromLocal8Bit(argument.data(), qsizetype(argument.size())));
        bytes.append(QString::fromLatin1(argument.data(), qsizetype(argument.size())));
    }
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
    const QCommandLineOption logMax(
        QStringLiteral("log-max"),
        QStringLiteral("With --log: the most bytes FILE grows to; past it FILE moves to FILE.1, replacing "
                       "an older one, and a fresh FILE is begun (default %1, 64 MiB).")
            .arg(TrafficLog::DefaultFileLimit),
        QStringLiteral("BYTES"));
    const QCommandLineOption helpAll(QStringLiteral("help-all"));
    const QList<QCommandLineOption> options{com1,  com2, simulate, listPorts, send,
                                            speed, wait, json,     log,       logMax};
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions(options);
    QCommandLineParser byteParser;
    byteParser.addHelpOption();
    byteParser.addVersionOption();
    byteParser.addOptions(options);

    CommandLine result;
    auto refuse = [&result](const QString &text) {
        result.exitCode = UsageExitCode;
        result.error = usageError(text);
        return result;
    };
    if (!parser.parse(texts) || !byteParser.parse(bytes))
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
    ConsoleOptions chosen;
    try {
        chosen.com1 = parseEndpoint(parser.value(com1).toStdString());
        chosen.com2 = parseEndpoint(parser.value(com2).toStdString());
    } catch (const std::invalid_argument &error) {
        result.exitCode = UsageExitCode;
        result.error = QStringLiteral("tavo-console: %1").arg(QString::fromStdString(error.what()));
        return result;
    }
    chosen.simulate = parser.isSet(simulate);
    if (parser.isSet(log) && parser.value(log).isEmpty())
        return refuse(QStringLiteral("--log needs a file name"));
    chosen.logFile = parser.value(log);
    if (parser.isSet(logMax)) {
        if (!parser.isSet(log))
            return refuse(QStringLiteral("--log-max belongs to the traffic log; give --log too"));
        const auto bytes = positiveBytes(parser.value(logMax));
        if (!bytes)
            return refuse(QStringLiteral("--log-max takes a positive whole number of bytes, not '%1'")
                              .arg(parser.value(logMax)));
        chosen.logMax = *bytes;
    }
    for (const QString &text : byteParser.values(send))
        chosen.sends.push_back(text.toLatin1().toStdString());
    chosen.json = parser.isSet(json);
    for (const QCommandLineOption *own : {&speed, &wait}) {
        if (parser.isSet(*own) && chosen.sends.empty())
            return refuse(QStringLiteral("--%1 belongs to the command-line mode; give --send too")
                              .arg(own->names().first()));
    }
    if (parser.isSet(speed)) {
        const auto settings = settingsForSpeed(parser.value(speed));
        if (!settings)
            return refuse(QStringLiteral("--speed is 9600 or 19200, not '%1'").arg(parser.value(speed)));
        chosen.settings = *settings;
    }
    if (parser.isSet(wait)) {
        const auto milliseconds = positiveMilliseconds(parser.value(wait));
        if (!milliseconds)
            return refuse(QStringLiteral("--wait takes a positive number of milliseconds, not '%1'")
                              .arg(parser.value(wait)));
        chosen.wait = *milliseconds;
    }
    result.run = true;
    result.options = chosen;
    return result;
}
