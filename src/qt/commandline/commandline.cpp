#include "qt/commandline/commandline.h"

#include "exchange/commandsource.h"
#include "mqtt/clientid.h"
#include "program.h"
#include "qt/commandline/hostaddresses.h"
#include "qt/http/httplistener.h"
#include "qt/links/portlist.h"
#include "qt/platform/regularfile.h"
#include "watch/fleetfile.h"
#include "wire/statusqueries.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>

#include <QCommandLineParser>

namespace {
const QString DefaultEndpoint = QStringLiteral("auto");
// A watch's longest period: a day is plenty, and the platform's timers count milliseconds in an int.
constexpr auto LongestWatchPeriod = std::chrono::seconds(24 * 60 * 60);
// The longest rest after a reply.
constexpr auto LongestGap = std::chrono::milliseconds(60 * 1000);
// The API's token, read from the first line of its file: a header carries it whole.
constexpr std::size_t TokenFileLimitBytes = 256;

QString usageError(const QString &text)
{
    return QStringLiteral("tavo-console: %1 (see --help)").arg(text);
}

// The first line of a file that only its owner can read, the secret an option names (its "token" or
// "password"); throws std::runtime_error with the reason.
std::string readSecretFile(const std::string &option, const std::string &name, const std::string &secret)
{
    const std::string prefix = option + " " + name + " ";
    struct stat status = {};
    if (::stat(name.c_str(), &status) == 0 && (status.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        throw std::runtime_error(prefix + "may be read by other users; chmod 600 it");
    std::string text;
    try {
        text = readRegularFile(name, TokenFileLimitBytes + 1);
    } catch (const std::runtime_error &error) {
        throw std::runtime_error(prefix + "cannot be read (" + error.what() + ")");
    }
    const std::string token = text.substr(0, text.find('\n'));
    if (token.size() > TokenFileLimitBytes)
        throw std::runtime_error(prefix + "holds more than a " + secret + " of at most " +
                                 std::to_string(TokenFileLimitBytes) + " bytes");
    if (token.empty() || token.find_first_of(" \t\r") != std::string::npos)
        throw std::runtime_error(prefix + "holds no " + secret +
                                 " on its first line (no blanks, nothing empty)");
    return token;
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

// The runs the console makes, as bits: which of them an option belongs to.
enum Run : unsigned {
    Window = 1,
    Commands = 2, // --send or --script
    Watch = 4,
    Fleet = 8, // --fleet with --watch
};
constexpr unsigned AnyRun = Window | Commands | Watch | Fleet;

enum class Option {
    Com1,
    Com2,
    Simulate,
    ListPorts,
    Send,
    Script,
    Watch,
    Fleet,
    Query,
    Speed,
    Wait,
    Gap,
    Json,
    Quiet,
    Http,
    HttpTokenFile,
    HttpAllowSend,
    PjlinkPasswordFile,
    Log,
    LogMax
};

// One of the console's own options: how --help shows it, and which runs take it.
struct OptionRow
{
    Option option;
    QString name;
    QString valueName; // empty for a switch
    QString help;
    unsigned runs = AnyRun;
    // What it says of itself, after its name, given to a run that does not take it; a fleet watch says
    // the same of every such option.
    QString elsewhere;
    QString defaultValue;
};

const QString CommandLineModeOnly =
    QStringLiteral("belongs to the command-line mode; give --send, --script or --watch too");

// The console's options, in --help's order.
const std::vector<OptionRow> &optionTable()
{
    static const std::vector<OptionRow> rows{
        {Option::Com1,
         QStringLiteral("com1"),
         QStringLiteral("ENDPOINT"),
         QString::fromStdString(endpointHelp(1)),
         Window | Commands | Watch,
         {},
         DefaultEndpoint},
        {Option::Com2,
         QStringLiteral("com2"),
         QStringLiteral("ENDPOINT"),
         QString::fromStdString(endpointHelp(2)),
         Window | Commands | Watch,
         {},
         DefaultEndpoint},
        {Option::Simulate,
         QStringLiteral("simulate"),
         {},
         QStringLiteral("Connect COM1 and COM2 to simulated projectors on pseudo-terminals."),
         Window | Commands | Watch,
         {},
         {}},
        {Option::ListPorts,
         QStringLiteral("list-ports"),
         {},
         QStringLiteral("List the serial ports found, one line each, and exit."),
         AnyRun,
         {},
         {}},
        {Option::Send,
         QStringLiteral("send"),
         QStringLiteral("TEXT"),
         QStringLiteral(
             "Command-line mode: no window; send TEXT and a CR on COM1, print the reply's trace and, "
             "for a status query, its meaning, then the next TEXT. Repeat for more."),
         Commands,
         {},
         {}},
        {Option::Script,
         QStringLiteral("script"),
         QStringLiteral("FILE"),
         QStringLiteral("Command-line mode: send each line of FILE as --send sends its TEXT, as the lines "
                        "arrive; '-' reads standard input. Blank lines and lines whose first non-blank is # "
                        "are skipped."),
         Commands,
         {},
         {}},
        {Option::Watch,
         QStringLiteral("watch"),
         QStringLiteral("SECONDS"),
         QStringLiteral("Command-line mode: ask the status queries every SECONDS (a whole number, 1 to %1) "
                        "over one connection; print the first answers, then each change, until stopped.")
             .arg(LongestWatchPeriod.count()),
         Watch | Fleet,
         {},
         {}},
        {Option::Fleet,
         QStringLiteral("fleet"),
         QStringLiteral("FILE"),
         QStringLiteral(
             "With --watch: watch every projector of FILE at once, each over its own line: one a "
             "line, NAME ENDPOINT [SPEED], # starts a comment. Each output line names its projector."),
         Fleet,
         {},
         {}},
        {Option::Query,
         QStringLiteral("query"),
         QStringLiteral("CODE"),
         QStringLiteral("With --watch: ask only this status query (CR0, CR1, CR3, CR4, CR6, CR7, CR9, CRA or "
                        "\"CR PRESSURE\"). Repeat for more."),
         Watch | Fleet,
         QStringLiteral("belongs to the status watch; give --watch too"),
         {}},
        {Option::Speed,
         QStringLiteral("speed"),
         QStringLiteral("BAUD"),
         QStringLiteral("With --send, --script or --watch: the line's speed, 9600 or 19200 (default)."),
         Commands | Watch,
         CommandLineModeOnly,
         {}},
        {Option::Wait,
         QStringLiteral("wait"),
         QStringLiteral("MS"),
         QStringLiteral(
             "With --send, --script or --watch: how long a reply may take to reach its CR (default %1).")
             .arg(FreeFormPeriods.reply.count()),
         Commands | Watch | Fleet,
         CommandLineModeOnly,
         {}},
        {Option::Gap,
         QStringLiteral("gap"),
         QStringLiteral("MS"),
         QStringLiteral("With --send, --script or --watch: wait MS after each reply before the next command "
                        "(default 0, at most %1).")
             .arg(LongestGap.count()),
         Commands | Watch | Fleet,
         CommandLineModeOnly,
         {}},
        {Option::Json,
         QStringLiteral("json"),
         {},
         QStringLiteral("With --send, --script or --watch: one JSON object per command instead of text."),
         Commands | Watch | Fleet,
         CommandLineModeOnly,
         {}},
        {Option::Quiet,
         QStringLiteral("quiet"),
         {},
         QStringLiteral("With --watch: print only a line lost or back, presses and errors, not the values "
                        "(for a service whose values go to metrics and MQTT)."),
         Watch | Fleet,
         QStringLiteral("belongs to the status watch; give --watch too"),
         {}},
        {Option::Http,
         QStringLiteral("http"),
         QStringLiteral("[HOST:]PORT"),
         QStringLiteral("With --fleet and --watch: serve HTTP, the projectors' metrics for Prometheus at "
                        "/metrics. PORT alone binds 127.0.0.1 only; HOST:PORT binds that address "
                        "(0.0.0.0 every IPv4 one, [::1] IPv6 loopback, [::] every one). PORT 0 takes a "
                        "free port; stderr says which. --metrics is another name for it."),
         Fleet,
         QStringLiteral("serves a fleet watch's values; give --fleet and --watch too"),
         {}},
        {Option::HttpTokenFile,
         QStringLiteral("http-token-file"),
         QStringLiteral("FILE"),
         QStringLiteral("With --http: take presses at /api from clients that send the first line of FILE "
                        "(readable by its owner alone) as Authorization: Bearer TOKEN. Without it no "
                        "press is taken."),
         Fleet,
         QStringLiteral("belongs to --http; give --fleet, --watch and --http too"),
         {}},
        {Option::HttpAllowSend,
         QStringLiteral("http-allow-send"),
         {},
         QStringLiteral("With --http-token-file: take free-form commands at /api/projectors/NAME/send too."),
         Fleet,
         QStringLiteral("belongs to --http; give --fleet, --watch and --http too"),
         {}},
        {Option::PjlinkPasswordFile,
         QStringLiteral("pjlink-password-file"),
         QStringLiteral("FILE"),
         QStringLiteral("With --fleet: the projectors' PJLink servers (pjlink= in the fleet file) take "
                        "commands only from clients that know the first line of FILE (readable by its "
                        "owner alone). Without it they take them from anyone."),
         Fleet,
         QStringLiteral("belongs to the fleet watch; give --fleet and --watch too"),
         {}},
        {Option::Log,
         QStringLiteral("log"),
         QStringLiteral("FILE"),
         QStringLiteral(
             "Append every byte sent and received, and every port opened, closed or lost, to FILE."),
         AnyRun,
         {},
         {}},
        {Option::LogMax,
         QStringLiteral("log-max"),
         QStringLiteral("BYTES"),
         QStringLiteral("With --log: the most bytes FILE grows to; past it FILE moves to FILE.1, replacing "
                        "an older one, and a fresh FILE is begun (default %1, 64 MiB).")
             .arg(TrafficLog::DefaultFileLimit),
         AnyRun,
         {},
         {}},
    };
    return rows;
}

// Options known by another name as well, which --help lists beside the first.
QStringList namesOf(const OptionRow &row)
{
    return row.option == Option::Http ? QStringList{row.name, QStringLiteral("metrics")}
                                      : QStringList{row.name};
}

const OptionRow &rowOf(Option option)
{
    const std::vector<OptionRow> &rows = optionTable();
    return *std::find_if(rows.begin(), rows.end(),
                         [option](const OptionRow &row) { return row.option == option; });
}

// The options for the parser and --help: the console's own, then the MQTT bridge's.
QList<QCommandLineOption> parserOptions()
{
    QList<QCommandLineOption> options;
    for (const OptionRow &row : optionTable())
        options.append(QCommandLineOption(namesOf(row), row.help, row.valueName, row.defaultValue));
    return options + mqttCommandLineOptions();
}

// The command line read twice: as the system's text, as Qt reads it; and as Latin-1, where each char is
// the byte given, for the texts to send and the paths. The options are ASCII, so both readings split the
// arguments alike.
struct Given
{
    QCommandLineParser texts;
    QCommandLineParser bytes;
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Displays help on commandline options.")};
    // Qt's own --help-all would promise Qt's options; the console takes none of them.
    QCommandLineOption helpAll{
        QStringLiteral("help-all"),
        QStringLiteral("Displays help; the console takes no Qt options (set QT_QPA_PLATFORM instead).")};
    QList<QCommandLineOption> options = parserOptions();

    Given()
    {
        texts.setApplicationDescription(
            QStringLiteral("Drives a data projector over an RS-232C serial line."));
        for (QCommandLineParser *parser : {&texts, &bytes}) {
            parser->addOptions({help, helpAll});
            parser->addVersionOption();
            parser->addOptions(options);
        }
    }

    bool isSet(Option option) const { return texts.isSet(rowOf(option).name); }
    QString value(Option option) const { return texts.value(rowOf(option).name); }
    QStringList values(Option option) const { return texts.values(rowOf(option).name); }
    // The value's bytes as given.
    std::string valueBytes(Option option) const { return bytesOf(bytes.value(rowOf(option).name)); }
    QStringList byteValues(Option option) const { return bytes.values(rowOf(option).name); }
};

// A refusal that names what was wrong in its own words, with no pointer to --help.
QString plainError(const char *text)
{
    return QStringLiteral("tavo-console: %1").arg(QString::fromStdString(text));
}

// Reads the arguments into both parsers; the one line for stderr when they are no command line.
std::optional<QString> parseArguments(const std::vector<std::string> &arguments, Given &given)
{
    QStringList texts;
    QStringList bytes;
    for (const std::string &argument : arguments) {
        texts.append(QString::fromLocal8Bit(argument.data(), qsizetype(argument.size())));
        bytes.append(QString::fromLatin1(argument.data(), qsizetype(argument.size())));
    }
    if (!given.texts.parse(texts) || !given.bytes.parse(bytes)) {
        if (const std::optional<QString> word = singleDashWord(texts, given.options))
            return usageError(
                QStringLiteral("unknown option '%1'; the console takes no Qt options (for -platform, "
                               "set QT_QPA_PLATFORM, such as QT_QPA_PLATFORM=offscreen)")
                    .arg(*word));
        return usageError(given.texts.errorText());
    }
    if (!given.texts.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument '%1'").arg(given.texts.positionalArguments().first()));
    return std::nullopt;
}

// --help, --version and --list-ports answer and exit, whatever else was given.
std::optional<CommandLine> answerAtOnce(const Given &given)
{
    CommandLine result;
    if (given.texts.isSet(given.help) || given.texts.isSet(given.helpAll))
        result.output = given.texts.helpText();
    else if (given.texts.isSet(QStringLiteral("version")))
        result.output = QStringLiteral("tavo-console " TAVO_VERSION "\n");
    else if (!given.isSet(Option::ListPorts))
        return std::nullopt;
    else if (given.isSet(Option::Send) || given.isSet(Option::Script) || given.isSet(Option::Watch))
        result.error = usageError(
            QStringLiteral("--list-ports lists the ports and exits; not with --send, --script or --watch"));
    else
        result.output = QString::fromStdString(portListing(availablePorts()));
    result.exitCode = result.error.isEmpty() ? 0 : UsageExitCode;
    return result;
}

// The run the options that choose one make, or the reason they make none.
std::variant<Run, QString> runOf(const Given &given)
{
    const bool sends = given.isSet(Option::Send);
    const bool script = given.isSet(Option::Script);
    if (given.isSet(Option::Watch) && (sends || script))
        return usageError(
            QStringLiteral("--watch asks the status queries itself; not with --send or --script"));
    if (given.isSet(Option::Fleet)) {
        if (sends || script)
            return usageError(QStringLiteral("--fleet watches its projectors; not with --send or --script"));
        if (!given.isSet(Option::Watch))
            return usageError(QStringLiteral("--fleet watches its projectors; give --watch too"));
        return Fleet;
    }
    if (given.isSet(Option::Watch))
        return Watch;
    return sends || script ? Commands : Window;
}

// The first option given that the run does not take.
std::optional<QString> refusedByRun(const Given &given, Run run)
{
    for (const OptionRow &row : optionTable()) {
        if (!given.isSet(row.option) || (row.runs & run) != 0)
            continue;
        if (run == Fleet)
            return usageError(
                QStringLiteral("--%1 is the fleet file's to give, for each projector").arg(row.name));
        return usageError(QStringLiteral("--%1 %2").arg(row.name, row.elsewhere));
    }
    return std::nullopt;
}

// COM1 and COM2, or the simulated projectors.
std::optional<QString> readPorts(const Given &given, ConsoleOptions &chosen)
{
    chosen.simulate = given.isSet(Option::Simulate);
    if (chosen.simulate && (given.isSet(Option::Com1) || given.isSet(Option::Com2)))
        return usageError(QStringLiteral("--simulate names its own devices"));
    try {
        chosen.com1 = parseEndpoint(given.valueBytes(Option::Com1));
        chosen.com2 = parseEndpoint(given.valueBytes(Option::Com2));
    } catch (const std::invalid_argument &error) {
        return plainError(error.what());
    }
    return std::nullopt;
}

std::optional<QString> readLog(const Given &given, ConsoleOptions &chosen)
{
    if (given.isSet(Option::Log) && given.value(Option::Log).isEmpty())
        return usageError(QStringLiteral("--log needs a file name"));
    chosen.logFile = given.valueBytes(Option::Log);
    if (!given.isSet(Option::LogMax))
        return std::nullopt;
    if (!given.isSet(Option::Log))
        return usageError(QStringLiteral("--log-max belongs to the traffic log; give --log too"));
    const auto bytes = positiveBytes(given.value(Option::LogMax));
    if (!bytes)
        return usageError(QStringLiteral("--log-max takes a positive whole number of bytes, not '%1'")
                              .arg(given.value(Option::LogMax)));
    chosen.logMax = *bytes;
    return std::nullopt;
}

// The commands of --send, or the file of --script.
std::optional<QString> readCommands(const Given &given, ConsoleOptions &chosen)
{
    for (const QString &text : given.byteValues(Option::Send)) {
        if (std::size_t(text.size()) > CommandSource::LineLimitBytes)
            return usageError(QStringLiteral("--send takes a command of at most %1 bytes, not %2")
                                  .arg(CommandSource::LineLimitBytes)
                                  .arg(text.size()));
        chosen.sends.push_back(bytesOf(text));
    }
    if (given.isSet(Option::Send) && given.isSet(Option::Script))
        return usageError(QStringLiteral("--send and --script are two ways to give the commands; give one"));
    if (given.isSet(Option::Script) && given.value(Option::Script).isEmpty())
        return usageError(QStringLiteral("--script needs a file name, or - for standard input"));
    chosen.script = given.valueBytes(Option::Script);
    return std::nullopt;
}

// The watch's period and the status queries it asks.
std::optional<QString> readWatch(const Given &given, ConsoleOptions &chosen)
{
    const auto seconds = durationIn(given.value(Option::Watch), std::chrono::seconds(1), LongestWatchPeriod);
    if (!seconds)
        return usageError(QStringLiteral("--watch takes a whole number of seconds, 1 to %1, not '%2'")
                              .arg(LongestWatchPeriod.count())
                              .arg(given.value(Option::Watch)));
    chosen.watch = *seconds;
    for (const QString &code : given.values(Option::Query)) {
        const std::string text = code.toStdString();
        if (std::find(StatusQueries.begin(), StatusQueries.end(), text) == StatusQueries.end())
            return usageError(
                QStringLiteral("--query takes a status query (CR0, CR1, CR3, CR4, CR6, CR7, CR9, "
                               "CRA, CR PRESSURE), not '%1'")
                    .arg(code));
        chosen.queries.push_back(text);
    }
    if (chosen.queries.empty())
        chosen.queries.assign(StatusQueries.begin(), StatusQueries.end());
    return std::nullopt;
}

// The line's speed, how long a reply may take and the rest after it.
std::optional<QString> readTiming(const Given &given, ConsoleOptions &chosen)
{
    if (given.isSet(Option::Speed)) {
        const auto settings = settingsForSpeed(given.value(Option::Speed).toStdString());
        if (!settings)
            return usageError(
                QStringLiteral("--speed is 9600 or 19200, not '%1'").arg(given.value(Option::Speed)));
        chosen.settings = *settings;
    }
    if (given.isSet(Option::Wait)) {
        const auto milliseconds = durationIn(given.value(Option::Wait), std::chrono::milliseconds(1),
                                             std::chrono::milliseconds(std::numeric_limits<int>::max()));
        if (!milliseconds)
            return usageError(QStringLiteral("--wait takes a positive number of milliseconds, not '%1'")
                                  .arg(given.value(Option::Wait)));
        chosen.wait = *milliseconds;
    }
    if (given.isSet(Option::Gap)) {
        const auto milliseconds =
            durationIn(given.value(Option::Gap), std::chrono::milliseconds(0), LongestGap);
        if (!milliseconds)
            return usageError(QStringLiteral("--gap takes a whole number of milliseconds, 0 to %1, not '%2'")
                                  .arg(LongestGap.count())
                                  .arg(given.value(Option::Gap)));
        chosen.gap = *milliseconds;
    }
    chosen.json = given.isSet(Option::Json);
    chosen.quiet = given.isSet(Option::Quiet);
    return std::nullopt;
}

std::optional<QString> readHttp(const Given &given, ConsoleOptions &chosen)
{
    if (!given.isSet(Option::Http))
        return std::nullopt;
    try {
        chosen.http = parseHttpAddress(given.value(Option::Http).toStdString());
    } catch (const std::invalid_argument &error) {
        return usageError(QStringLiteral("--http takes [HOST:]PORT, not '%1': %2")
                              .arg(given.value(Option::Http), QString::fromStdString(error.what())));
    }
    return std::nullopt;
}

// The API's token: the first line of a file its owner alone may read, so that no other user of the machine
// can press.
std::optional<QString> readHttpToken(const Given &given, ConsoleOptions &chosen)
{
    const bool token = given.isSet(Option::HttpTokenFile);
    if ((token || given.isSet(Option::HttpAllowSend)) && !chosen.http)
        return usageError(QStringLiteral("--%1 belongs to --http; give --http too")
                              .arg(rowOf(token ? Option::HttpTokenFile : Option::HttpAllowSend).name));
    if (given.isSet(Option::HttpAllowSend) && !token)
        return usageError(QStringLiteral("--http-allow-send needs --http-token-file"));
    chosen.api.allowSend = given.isSet(Option::HttpAllowSend);
    if (!token)
        return std::nullopt;
    try {
        chosen.api.token =
            readSecretFile("--http-token-file", given.valueBytes(Option::HttpTokenFile), "token");
    } catch (const std::runtime_error &error) {
        return plainError(error.what());
    }
    return std::nullopt;
}

// The PJLink password: like the API's token, no other user of the machine may read it.
std::optional<QString> readPjlinkPassword(const Given &given, ConsoleOptions &chosen)
{
    if (!given.isSet(Option::PjlinkPasswordFile))
        return std::nullopt;
    try {
        chosen.pjlinkPassword = readSecretFile("--pjlink-password-file",
                                               given.valueBytes(Option::PjlinkPasswordFile), "password");
    } catch (const std::runtime_error &error) {
        return plainError(error.what());
    }
    return std::nullopt;
}

std::optional<QString> readFleet(const Given &given, ConsoleOptions &chosen)
{
    if (!given.isSet(Option::Fleet))
        return std::nullopt;
    try {
        chosen.fleetFile = given.valueBytes(Option::Fleet);
        chosen.fleet = readFleetFile(chosen.fleetFile);
    } catch (const std::runtime_error &error) {
        return plainError(error.what());
    }
    return std::nullopt;
}

std::optional<QString> readMqtt(const Given &given, ConsoleOptions &chosen)
{
    if (const auto problem =
            readMqttOptions(given.texts, QProcessEnvironment::systemEnvironment(), chosen.mqtt))
        return usageError(*problem);
    if (chosen.mqtt.enabled && chosen.fleet.empty())
        return usageError(QStringLiteral("--mqtt belongs to the fleet watch; give --fleet and --watch too"));
    if (chosen.mqtt.enabled)
        chosen.mqtt.clientId = fleetClientId(given.valueBytes(Option::Fleet));
    return std::nullopt;
}

using Reader = std::optional<QString> (*)(const Given &, ConsoleOptions &);

// The first problem of the first reader that finds one.
std::optional<QString> readInTurn(std::initializer_list<Reader> readers, const Given &given,
                                  ConsoleOptions &chosen)
{
    for (const Reader read : readers) {
        if (auto problem = read(given, chosen))
            return problem;
    }
    return std::nullopt;
}

// Every value read and checked, and every option held to the run it belongs to; the first problem, in
// the order the console names it.
std::optional<QString> readOptions(const Given &given, ConsoleOptions &chosen)
{
    if (auto problem = readInTurn({readPorts, readLog, readCommands}, given, chosen))
        return problem;
    const std::variant<Run, QString> chosenRun = runOf(given);
    if (const QString *problem = std::get_if<QString>(&chosenRun))
        return *problem;
    const Run run = std::get<Run>(chosenRun);
    if (auto problem =
            readInTurn(run == Watch || run == Fleet ? std::initializer_list<Reader>{readWatch, readHttp}
                                                    : std::initializer_list<Reader>{readHttp},
                       given, chosen))
        return problem;
    if (auto problem = refusedByRun(given, run))
        return problem;
    return readInTurn({readHttpToken, readPjlinkPassword, readFleet, readTiming, readMqtt}, given, chosen);
}
} // namespace

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

CommandLine parseCommandLine(const std::vector<std::string> &arguments)
{
    Given given;
    std::optional<QString> problem = parseArguments(arguments, given);
    if (!problem) {
        if (std::optional<CommandLine> answer = answerAtOnce(given))
            return *answer;
    }
    ConsoleOptions chosen;
    problem = problem ? problem : readOptions(given, chosen);
    CommandLine result;
    if (problem) {
        result.exitCode = UsageExitCode;
        result.error = *problem;
    } else {
        result.run = true;
        result.options = chosen;
    }
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
