#include "qt/commandline/commandline.h"

#include "exchange/commandsource.h"
#include "program.h"
#include "qt/commandline/hostaddresses.h"
#include "qt/links/portlist.h"
#include "qt/metrics/metricsserver.h"
#include "qt/platform/regularfile.h"
#include "watch/fleetfile.h"
#include "wire/statusqueries.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <stdexcept>

#include <QCommandLineParser>

namespace {
const QString DefaultEndpoint = QStringLiteral("auto");
// A watch's longest period: a day is plenty, and the platform's timers count milliseconds in an int.
constexpr auto LongestWatchPeriod = std::chrono::seconds(24 * 60 * 60);
// The longest rest after a reply.
constexpr auto LongestGap = std::chrono::milliseconds(60 * 1000);

QString usageError(const QString &text)
{
    return QStringLiteral("tavo-console: %1 (see --help)").arg(text);
}

// The projectors of a fleet file (its name's bytes as given), read whole up to its limit, each server
// named by what it resolves to now; throws std::runtime_error with the reason.
std::vector<FleetProjector> readFleetFile(const std::string &name)
{
    std::string text;
    try {
        // One byte past the limit is enough to refuse a longer file.
        text = readRegularFile(name, FleetFile::FileLimitBytes + 1);
    } catch (const std::runtime_error &error) {
        throw std::runtime_error("the fleet file " + name + " cannot be read (" + error.what() + ")");
    }
    return parseFleetFile(text, name, resolvingHostAddresses());
}

bool digitsOnly(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

// A whole number written in digits only, from `least` to `most`.
template <class Duration>
std::optional<Duration> durationIn(const QString &text, Duration least, Duration most)
{
    bool isNumber = false;
    const qlonglong value = text.toLongLong(&isNumber);
    if (!isNumber || !digitsOnly(text) || value < least.count() || value > most.count())
        return std::nullopt;
    return Duration(value);
}

// An argument's bytes, from its Latin-1 reading.
std::string bytesOf(const QString &latin1)
{
    return latin1.toLatin1().toStdString();
}

// The first argument that is a word after a single dash ("-platform"): Qt would read it as the short
// options p, l, a ... and name each. Values of options that take one are no such word.
std::optional<QString> singleDashWord(const QStringList &arguments, const QList<QCommandLineOption> &options)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--"))
            return std::nullopt;
        if (argument.startsWith(QLatin1String("--"))) {
            const QString name = argument.mid(2);
            const bool takesNext =
                std::any_of(options.begin(), options.end(), [&](const QCommandLineOption &option) {
                    return !option.valueName().isEmpty() && option.names().contains(name);
                });
            i += takesNext ? 1 : 0;
        } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 2) {
            return argument;
        }
    }
    return std::nullopt;
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
    const QCommandLineOption script(
        QStringLiteral("script"),
        QStringLiteral("Command-line mode: send each line of FILE as --send sends its TEXT, as the lines "
                       "arrive; '-' reads standard input. Blank lines and lines whose first non-blank is # "
                       "are skipped."),
        QStringLiteral("FILE"));
    const QCommandLineOption watch(
        QStringLiteral("watch"),
        QStringLiteral("Command-line mode: ask the status queries every SECONDS (a whole number, 1 to %1) "
                       "over one connection; print the first answers, then each change, until stopped.")
            .arg(LongestWatchPeriod.count()),
        QStringLiteral("SECONDS"));
    const QCommandLineOption fleet(
        QStringLiteral("fleet"),
        QStringLiteral(
            "With --watch: watch every projector of FILE at once, each over its own line: one a "
            "line, NAME ENDPOINT [SPEED], # starts a comment. Each output line names its projector."),
        QStringLiteral("FILE"));
    const QCommandLineOption query(
        QStringLiteral("query"),
        QStringLiteral("With --watch: ask only this status query (CR0, CR1, CR3, CR4, CR6, CR7, CR9, CRA or "
                       "\"CR PRESSURE\"). Repeat for more."),
        QStringLiteral("CODE"));
    const QCommandLineOption speed(
        QStringLiteral("speed"),
        QStringLiteral("With --send, --script or --watch: the line's speed, 9600 or 19200 (default)."),
        QStringLiteral("BAUD"));
    const QCommandLineOption wait(
        QStringLiteral("wait"),
        QStringLiteral(
            "With --send, --script or --watch: how long a reply may take to reach its CR (default %1).")
            .arg(FreeFormPeriods.reply.count()),
        QStringLiteral("MS"));
    const QCommandLineOption gap(
        QStringLiteral("gap"),
        QStringLiteral("With --send, --script or --watch: wait MS after each reply before the next command "
                       "(default 0, at most %1).")
            .arg(LongestGap.count()),
        QStringLiteral("MS"));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("With --send, --script or --watch: one JSON object per command instead of text."));
    const QCommandLineOption metrics(
        QStringLiteral("metrics"),
        QStringLiteral("With --fleet and --watch: serve the projectors' metrics for Prometheus over HTTP "
                       "at /metrics. PORT alone binds 127.0.0.1 only; HOST:PORT binds that "
                       "address (0.0.0.0 every IPv4 one). PORT 0 takes a free port; stderr says which."),
        QStringLiteral("[HOST:]PORT"));
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
    // Qt's own --help-all would promise Qt's options; the console takes none of them.
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    const QCommandLineOption helpAll(
        QStringLiteral("help-all"),
        QStringLiteral("Displays help; the console takes no Qt options (set QT_QPA_PLATFORM instead)."));
    const QList<QCommandLineOption> options =
        QList<QCommandLineOption>{com1,  com2,  simulate, listPorts, send, script,  watch, fleet,
                                  query, speed, wait,     gap,       json, metrics, log,   logMax} +
        mqttCommandLineOptions();
    parser.addOptions({help, helpAll});
    const QCommandLineOption version = parser.addVersionOption();
    parser.addOptions(options);
    QCommandLineParser byteParser;
    byteParser.addOptions({help, helpAll});
    byteParser.addVersionOption();
    byteParser.addOptions(options);

    CommandLine result;
    auto refuse = [&result](const QString &text) {
        result.exitCode = UsageExitCode;
        result.error = usageError(text);
        return result;
    };
    if (!parser.parse(texts) || !byteParser.parse(bytes)) {
        if (const std::optional<QString> word = singleDashWord(texts, options))
            return refuse(
                QStringLiteral("unknown option '%1'; the console takes no Qt options (for -platform, "
                               "set QT_QPA_PLATFORM, such as QT_QPA_PLATFORM=offscreen)")
                    .arg(*word));
        return refuse(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    if (parser.isSet(help) || parser.isSet(helpAll)) {
        result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.output = QStringLiteral("tavo-console " TAVO_VERSION "\n");
        return result;
    }
    if (parser.isSet(listPorts)) {
        if (parser.isSet(send) || parser.isSet(script) || parser.isSet(watch))
            return refuse(
                QStringLiteral("--list-ports lists the ports and exits; not with --send, --script or "
                               "--watch"));
        result.output = QString::fromStdString(portListing(availablePorts()));
        return result;
    }
    if (parser.isSet(simulate) && (parser.isSet(com1) || parser.isSet(com2)))
        return refuse(QStringLiteral("--simulate names its own devices"));
    ConsoleOptions chosen;
    try {
        chosen.com1 = parseEndpoint(bytesOf(byteParser.value(com1)));
        chosen.com2 = parseEndpoint(bytesOf(byteParser.value(com2)));
    } catch (const std::invalid_argument &error) {
        result.exitCode = UsageExitCode;
        result.error = QStringLiteral("tavo-console: %1").arg(QString::fromStdString(error.what()));
        return result;
    }
    chosen.simulate = parser.isSet(simulate);
    if (parser.isSet(log) && parser.value(log).isEmpty())
        return refuse(QStringLiteral("--log needs a file name"));
    chosen.logFile = bytesOf(byteParser.value(log));
    if (parser.isSet(logMax)) {
        if (!parser.isSet(log))
            return refuse(QStringLiteral("--log-max belongs to the traffic log; give --log too"));
        const auto bytes = positiveBytes(parser.value(logMax));
        if (!bytes)
            return refuse(QStringLiteral("--log-max takes a positive whole number of bytes, not '%1'")
                              .arg(parser.value(logMax)));
        chosen.logMax = *bytes;
    }
    for (const QString &text : byteParser.values(send)) {
        if (std::size_t(text.size()) > CommandSource::LineLimitBytes)
            return refuse(QStringLiteral("--send takes a command of at most %1 bytes, not %2")
                              .arg(CommandSource::LineLimitBytes)
                              .arg(text.size()));
        chosen.sends.push_back(bytesOf(text));
    }
    chosen.json = parser.isSet(json);
    if (parser.isSet(script)) {
        if (!chosen.sends.empty())
            return refuse(QStringLiteral("--send and --script are two ways to give the commands; give one"));
        if (parser.value(script).isEmpty())
            return refuse(QStringLiteral("--script needs a file name, or - for standard input"));
        chosen.script = bytesOf(byteParser.value(script));
    }
    if (parser.isSet(watch)) {
        if (chosen.commandLineMode())
            return refuse(
                QStringLiteral("--watch asks the status queries itself; not with --send or --script"));
        const auto seconds = durationIn(parser.value(watch), std::chrono::seconds(1), LongestWatchPeriod);
        if (!seconds)
            return refuse(QStringLiteral("--watch takes a whole number of seconds, 1 to %1, not '%2'")
                              .arg(LongestWatchPeriod.count())
                              .arg(parser.value(watch)));
        chosen.watch = *seconds;
        for (const QString &code : parser.values(query)) {
            const std::string text = code.toStdString();
            if (std::find(StatusQueries.begin(), StatusQueries.end(), text) == StatusQueries.end())
                return refuse(
                    QStringLiteral("--query takes a status query (CR0, CR1, CR3, CR4, CR6, CR7, CR9, CRA, "
                                   "CR PRESSURE), not '%1'")
                        .arg(code));
            chosen.queries.push_back(text);
        }
        if (chosen.queries.empty())
            chosen.queries.assign(StatusQueries.begin(), StatusQueries.end());
    } else if (parser.isSet(query)) {
        return refuse(QStringLiteral("--query belongs to the status watch; give --watch too"));
    }
    if (parser.isSet(fleet)) {
        if (!chosen.sends.empty() || !chosen.script.empty())
            return refuse(QStringLiteral("--fleet watches its projectors; not with --send or --script"));
        if (!chosen.statusWatch())
            return refuse(QStringLiteral("--fleet watches its projectors; give --watch too"));
        for (const QCommandLineOption *named : {&com1, &com2, &simulate, &speed}) {
            if (parser.isSet(*named))
                return refuse(QStringLiteral("--%1 is the fleet file's to give, for each projector")
                                  .arg(named->names().first()));
        }
        try {
            chosen.fleet = readFleetFile(bytesOf(byteParser.value(fleet)));
        } catch (const std::runtime_error &error) {
            result.exitCode = UsageExitCode;
            result.error = QStringLiteral("tavo-console: %1").arg(QString::fromStdString(error.what()));
            return result;
        }
    }
    for (const QCommandLineOption *own : {&speed, &wait, &gap, &json}) {
        if (parser.isSet(*own) && !chosen.commandLineMode())
            return refuse(
                QStringLiteral("--%1 belongs to the command-line mode; give --send, --script or --watch too")
                    .arg(own->names().first()));
    }
    if (parser.isSet(speed)) {
        const auto settings = settingsForSpeed(parser.value(speed).toStdString());
        if (!settings)
            return refuse(QStringLiteral("--speed is 9600 or 19200, not '%1'").arg(parser.value(speed)));
        chosen.settings = *settings;
    }
    if (parser.isSet(wait)) {
        const auto milliseconds = durationIn(parser.value(wait), std::chrono::milliseconds(1),
                                             std::chrono::milliseconds(std::numeric_limits<int>::max()));
        if (!milliseconds)
            return refuse(QStringLiteral("--wait takes a positive number of milliseconds, not '%1'")
                              .arg(parser.value(wait)));
        chosen.wait = *milliseconds;
    }
    if (parser.isSet(gap)) {
        const auto milliseconds = durationIn(parser.value(gap), std::chrono::milliseconds(0), LongestGap);
        if (!milliseconds)
            return refuse(QStringLiteral("--gap takes a whole number of milliseconds, 0 to %1, not '%2'")
                              .arg(LongestGap.count())
                              .arg(parser.value(gap)));
        chosen.gap = *milliseconds;
    }
    if (parser.isSet(metrics)) {
        try {
            chosen.metrics = parseMetricsAddress(parser.value(metrics).toStdString());
        } catch (const std::invalid_argument &error) {
            return refuse(QStringLiteral("--metrics takes [HOST:]PORT, not '%1': %2")
                              .arg(parser.value(metrics), QString::fromStdString(error.what())));
        }
        if (chosen.fleet.empty())
            return refuse(
                QStringLiteral("--metrics serves a fleet watch's values; give --fleet and --watch too"));
    }
    if (const auto problem = readMqttOptions(parser, QProcessEnvironment::systemEnvironment(), chosen.mqtt))
        return refuse(*problem);
    if (chosen.mqtt.enabled && chosen.fleet.empty())
        return refuse(QStringLiteral("--mqtt belongs to the fleet watch; give --fleet and --watch too"));
    result.run = true;
    result.options = chosen;
    return result;
}

std::string runDescription(const ConsoleOptions &options)
{
    std::string mode = "window";
    if (!options.sends.empty())
        mode = "--send";
    else if (!options.script.empty())
        mode = "--script " + options.script;
    else if (options.statusWatch())
        mode = "--watch " + std::to_string(options.watch.count());
    if (options.simulate)
        return mode + ", COM1 and COM2 simulated";
    return mode + ", COM1 " + options.com1.text + ", COM2 " + options.com2.text;
}
