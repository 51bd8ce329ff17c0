#include "exchange/commandsource.h"
#include "qt/commandline/commandline.h"

#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
// The command line as typed in a UTF-8 terminal.
CommandLine parse(const QStringList &arguments)
{
    std::vector<std::string> bytes{"tavo-console"};
    for (const QString &argument : arguments)
        bytes.push_back(argument.toUtf8().toStdString());
    return parseCommandLine(bytes);
}

std::vector<std::string> byteStrings(const QList<QByteArray> &texts)
{
    std::vector<std::string> strings;
    for (const QByteArray &text : texts)
        strings.push_back(text.toStdString());
    return strings;
}
} // namespace

// What the command line may say, and how the console answers a wrong one.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void readsTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("run");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("com1");
        QTest::addColumn<QString>("com2");
        QTest::newRow("none") << QStringList{} << true << 0 << "auto"
                              << "auto";
        QTest::newRow("both devices")
            << QStringList{"--com1", "/dev/pts/3", "--com2=/dev/ttyUSB0"} << true << 0 << "/dev/pts/3"
            << "/dev/ttyUSB0";
        QTest::newRow("unknown option") << QStringList{"--baud", "9600"} << false << 2 << ""
                                        << "";
        QTest::newRow("missing device") << QStringList{"--com1"} << false << 2 << ""
                                        << "";
        QTest::newRow("stray argument") << QStringList{"COM3"} << false << 2 << ""
                                        << "";
        QTest::newRow("network endpoints")
            << QStringList{"--com1", "tcp://127.0.0.1:4001", "--com2", "rfc2217://host:2217"} << true << 0
            << "tcp://127.0.0.1:4001"
            << "rfc2217://host:2217";
        QTest::newRow("bad endpoint") << QStringList{"--com2", "tcp://127.0.0.1"} << false << 2 << ""
                                      << "";
        QTest::newRow("version") << QStringList{"--version"} << false << 0 << ""
                                 << "";
        QTest::newRow("help") << QStringList{"--help"} << false << 0 << ""
                              << "";
        QTest::newRow("list ports") << QStringList{"--list-ports"} << false << 0 << ""
                                    << "";
    }
    void readsTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, run);
        QFETCH(int, exitCode);
        QFETCH(QString, com1);
        QFETCH(QString, com2);
        const CommandLine parsed = parse(arguments);
        QCOMPARE(parsed.run, run);
        QCOMPARE(parsed.exitCode, exitCode);
        if (run) {
            QCOMPARE(QString::fromStdString(parsed.options.com1.text), com1);
            QCOMPARE(QString::fromStdString(parsed.options.com2.text), com2);
        }
        if (exitCode == 2) {
            QVERIFY(!parsed.error.isEmpty());
            QVERIFY(!parsed.error.contains('\n'));
        }
    }

    void simulateTakesNoDevices_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("run");
        QTest::newRow("alone") << QStringList{"--simulate"} << true;
        QTest::newRow("with com1") << QStringList{"--simulate", "--com1", "/dev/pts/3"} << false;
        QTest::newRow("with com2") << QStringList{"--com2=/dev/ttyUSB0", "--simulate"} << false;
    }
    void simulateTakesNoDevices()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, run);
        const CommandLine parsed = parse(arguments);
        QCOMPARE(parsed.run, run);
        QCOMPARE(parsed.options.simulate, run);
        QCOMPARE(parsed.exitCode, run ? 0 : 2);
        QCOMPARE(parsed.error.isEmpty(), run);
    }

    void readsTheCommandLineMode_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QList<QByteArray>>("sends");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<bool>("json");
        QTest::addColumn<QString>("logFile");
        QTest::newRow("one command") << QStringList{"--send", "CR0"} << QList<QByteArray>{"CR0"}
                                     << "19200,N,8,1" << 2000 << false << "";
        QTest::newRow("in order, blanks kept")
            << QStringList{"--send", "CR0", "--send=CR PRESSURE", "--send", " c00 "}
            << QList<QByteArray>{"CR0", "CR PRESSURE", " c00 "} << "19200,N,8,1" << 2000 << false << "";
        QTest::newRow("an empty text is a lone CR")
            << QStringList{"--send", ""} << QList<QByteArray>{""} << "19200,N,8,1" << 2000 << false << "";
        QTest::newRow("speed, wait, json and log")
            << QStringList{"--speed", "9600",   "--send", "CR3",       "--wait",
                           "150",     "--json", "--log",  "/tmp/t.log"}
            << QList<QByteArray>{"CR3"} << "9600,N,8,1" << 150 << true << "/tmp/t.log";
        QTest::newRow("window with a log") << QStringList{"--log", "/tmp/t.log"} << QList<QByteArray>{}
                                           << "19200,N,8,1" << 2000 << false << "/tmp/t.log";
    }
    void readsTheCommandLineMode()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QList<QByteArray>, sends);
        QFETCH(QString, settings);
        QFETCH(int, waitMs);
        QFETCH(bool, json);
        QFETCH(QString, logFile);
        const CommandLine parsed = parse(arguments);
        QVERIFY2(parsed.run, qPrintable(parsed.error));
        QVERIFY(parsed.options.sends == byteStrings(sends));
        QCOMPARE(QString::fromStdString(parsed.options.settings), settings);
        QCOMPARE(parsed.options.wait.count(), waitMs);
        QCOMPARE(parsed.options.json, json);
        QCOMPARE(QString::fromStdString(parsed.options.logFile), logFile);
    }

    // Each byte of a text goes out as given, whatever the system's text encoding makes of it.
    void sendTakesTheBytesAsGiven_data()
    {
        QTest::addColumn<QList<QByteArray>>("arguments");
        QTest::addColumn<QList<QByteArray>>("sends");
        QTest::newRow("not UTF-8, both forms") << QList<QByteArray>{"--send", "\xFF\xFE", "--send=\x80="}
                                               << QList<QByteArray>{"\xFF\xFE", "\x80="};
        QTest::newRow("UTF-8 stays its bytes")
            << QList<QByteArray>{"--send", "\xC3\xA9"} << QList<QByteArray>{"\xC3\xA9"};
        QTest::newRow("a text like an option")
            << QList<QByteArray>{"--send", "--json", "--send", "-h"} << QList<QByteArray>{"--json", "-h"};
    }
    void sendTakesTheBytesAsGiven()
    {
        QFETCH(QList<QByteArray>, arguments);
        QFETCH(QList<QByteArray>, sends);
        const CommandLine parsed =
            parseCommandLine(byteStrings(QList<QByteArray>{"tavo-console"} + arguments));
        QVERIFY(parsed.options.sends == byteStrings(sends));
    }

    void refusesWhatTheCommandLineModeCannotUse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        QTest::newRow("speed without send") << QStringList{"--speed", "9600"} << "--speed belongs";
        QTest::newRow("wait without send") << QStringList{"--wait", "100"} << "--wait belongs";
        QTest::newRow("other speed") << QStringList{"--send", "CR0", "--speed", "4800"} << "9600 or 19200";
        QTest::newRow("wait zero") << QStringList{"--send", "CR0", "--wait", "0"} << "positive";
        QTest::newRow("wait with a unit") << QStringList{"--send", "CR0", "--wait", "100ms"} << "positive";
        QTest::newRow("wait fraction") << QStringList{"--send", "CR0", "--wait", "1.5"} << "positive";
        QTest::newRow("wait too large")
            << QStringList{"--send", "CR0", "--wait", "99999999999"} << "positive";
        QTest::newRow("log without a name") << QStringList{"--send", "CR0", "--log", ""} << "--log needs";
        QTest::newRow("send without text") << QStringList{"--send"} << "Missing value";
        QTest::newRow("send and script") << QStringList{"--send", "CR0", "--script", "-"} << "give one";
        QTest::newRow("script without a name") << QStringList{"--script", ""} << "--script needs";
        QTest::newRow("watch and send") << QStringList{"--send", "CR0", "--watch", "1"} << "not with --send";
        QTest::newRow("watch zero") << QStringList{"--watch", "0"} << "1 to 86400";
        QTest::newRow("watch fraction") << QStringList{"--watch", "1.5"} << "1 to 86400";
        // Past a day, the platform's timer would overflow and poll at once or never again.
        QTest::newRow("watch past a day") << QStringList{"--watch", "86401"} << "1 to 86400";
        QTest::newRow("watch past the timer") << QStringList{"--watch", "4294968"} << "1 to 86400";
        QTest::newRow("gap without send") << QStringList{"--gap", "100"} << "--gap belongs";
        QTest::newRow("gap past a minute") << QStringList{"--watch", "1", "--gap", "60001"} << "0 to 60000";
        QTest::newRow("unknown query") << QStringList{"--watch", "1", "--query", "CR5"} << "not 'CR5'";
        QTest::newRow("query without watch") << QStringList{"--query", "CR0"} << "give --watch too";
        QTest::newRow("log-max without log") << QStringList{"--log-max", "1000"} << "--log-max belongs";
        QTest::newRow("metrics without a fleet")
            << QStringList{"--watch", "1", "--metrics", "9877"} << "give --fleet and --watch";
        QTest::newRow("metrics on a host name")
            << QStringList{"--watch", "1", "--metrics", "metrics.example:9877"} << "no IP address";
        QTest::newRow("metrics past the last port")
            << QStringList{"--watch", "1", "--metrics", "65536"} << "65535";
        QTest::newRow("http without a fleet")
            << QStringList{"--watch", "1", "--http", "[::1]:9877"} << "--http serves a fleet watch's values";
        const QStringList fleet{"--fleet", "/dev/null", "--watch", "1"};
        QTest::newRow("token file without http") << fleet + QStringList{"--http-token-file", "/tmp/token"}
                                                 << "--http-token-file belongs to --http";
        QTest::newRow("allow-send without a token")
            << fleet + QStringList{"--http", "0", "--http-allow-send"} << "needs --http-token-file";
        QTest::newRow("token file missing")
            << fleet + QStringList{"--http", "0", "--http-token-file", "/tavo-no-token"}
            << "--http-token-file /tavo-no-token cannot be read";
        QTest::newRow("token file others may read")
            << fleet + QStringList{"--http", "0", "--http-token-file", "/dev/null"}
            << "may be read by other users";
        QTest::newRow("json without a command") << QStringList{"--json"} << "--json belongs";
        QTest::newRow("list-ports with send")
            << QStringList{"--list-ports", "--send", "CR0"} << "not with --send";
        QTest::newRow("list-ports with watch")
            << QStringList{"--watch", "1", "--list-ports"} << "not with --send";
        QTest::newRow("a Qt option") << QStringList{"-platform", "offscreen"}
                                     << "unknown option '-platform'; the console takes no Qt options (for "
                                        "-platform, set QT_QPA_PLATFORM";
        QTest::newRow("a Qt option after a value")
            << QStringList{"--send", "-x", "-style=fusion"} << "unknown option '-style=fusion'";
        QTest::newRow("a command longer than the line can queue")
            << QStringList{"--send", QString(qsizetype(CommandSource::LineLimitBytes) + 1, 'A')}
            << "--send takes a command of at most 65535 bytes, not 65536";
        QTest::newRow("fleet without watch") << QStringList{"--fleet", "/dev/null"} << "give --watch too";
        QTest::newRow("fleet with send")
            << QStringList{"--fleet", "/dev/null", "--watch", "1", "--send", "CR0"} << "not with --send";
        QTest::newRow("fleet with com1")
            << QStringList{"--fleet", "/dev/null", "--watch", "1", "--com1", "/dev/ttyS0"}
            << "--com1 is the fleet";
        QTest::newRow("fleet with simulate")
            << QStringList{"--fleet", "/dev/null", "--watch", "1", "--simulate"} << "--simulate is the fleet";
        QTest::newRow("fleet with speed")
            << QStringList{"--fleet", "/dev/null", "--watch", "1", "--speed", "9600"}
            << "--speed is the fleet";
        QTest::newRow("fleet file missing") << QStringList{"--fleet", "/tavo-no-such-fleet", "--watch", "1"}
                                            << "/tavo-no-such-fleet cannot be read";
        for (const char *bytes : {"0", "64MiB", "-1", "1e6", "99999999999999999999"})
            QTest::newRow(qPrintable(QStringLiteral("log-max %1").arg(bytes)))
                << QStringList{"--log", "/tmp/t.log", "--log-max", bytes} << "positive whole number of bytes";
    }
    void refusesWhatTheCommandLineModeCannotUse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const CommandLine parsed = parse(arguments);
        QVERIFY(!parsed.run);
        QCOMPARE(parsed.exitCode, 2);
        QVERIFY2(parsed.error.contains(says), qPrintable(parsed.error));
        QVERIFY(!parsed.error.contains('\n'));
    }

    // The fleet file as it lies on disk: only a regular file is read, at once, and two lines that reach
    // one server however written are refused.
    void refusesAFleetFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("says");
        QTest::newRow("a FIFO") << QByteArray() << "fifo cannot be read (not a regular file)";
        QTest::newRow("a device") << QByteArray() << "/dev/null cannot be read (not a regular file)";
        QTest::newRow("a directory") << QByteArray() << "cannot be read (not a regular file)";
        QTest::newRow("empty") << QByteArray("") << "fleet:1: no projector in the file";
        QTest::newRow("localhost beside its address")
            << QByteArray("a tcp://127.0.0.1:1\nb tcp://localhost:1\n")
            << "fleet:2: tcp://localhost:1 connects";
        QTest::newRow("an IPv4 address written as IPv6")
            << QByteArray("a rfc2217://127.0.0.1:1\nb tcp://[::ffff:127.0.0.1]:01\n")
            << "fleet:2: tcp://[::ffff:127.0.0.1]:01 connects";
    }
    void refusesAFleetFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, says);
        QTemporaryDir dir;
        QString path = dir.filePath("fleet");
        const QString row = QString::fromLatin1(QTest::currentDataTag());
        if (row == "a FIFO") {
            path = dir.filePath("fifo");
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (row == "a device") {
            path = "/dev/null";
        } else if (row == "a directory") {
            path = dir.path();
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        }
        const CommandLine parsed = parse({"--fleet", path, "--watch", "1"});
        QVERIFY(!parsed.run);
        QCOMPARE(parsed.exitCode, 2);
        QVERIFY2(parsed.error.contains(says), qPrintable(parsed.error));
    }

    // A path's bytes reach the file system as given, whatever the system's text encoding makes of them.
    void pathsKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("UTF-8") << QByteArray("/tmp/p\xC3\xA9");
        QTest::newRow("not UTF-8") << QByteArray("/tmp/p\xE9");
    }
    void pathsKeepTheirBytes()
    {
        QFETCH(QByteArray, path);
        const CommandLine parsed = parseCommandLine(
            byteStrings({"tavo-console", "--com1", path, "--com2=" + path, "--script", path, "--log", path}));
        QVERIFY2(parsed.run, qPrintable(parsed.error));
        for (const std::string &taken : {parsed.options.com1.device, parsed.options.com2.device,
                                         parsed.options.script, parsed.options.logFile})
            QCOMPARE(QByteArray::fromStdString(taken), path);
    }

    void logMaxIsInBytes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<qulonglong>("bytes");
        QTest::newRow("default") << QStringList{"--log", "/tmp/t.log"} << qulonglong(64 * 1024 * 1024);
        QTest::newRow("given") << QStringList{"--log", "/tmp/t.log", "--log-max", "1000"} << qulonglong(1000);
    }
    void logMaxIsInBytes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(qulonglong, bytes);
        const CommandLine parsed = parse(arguments);
        QVERIFY2(parsed.run, qPrintable(parsed.error));
        QCOMPARE(qulonglong(parsed.options.logMax), bytes);
    }

    void versionAndHelpSayWhatTheyShould()
    {
        QCOMPARE(parseCommandLine({"tavo-console", "--version"}).output, QString("tavo-console 1.40\n"));
        QVERIFY(parseCommandLine({"tavo-console", "--help"}).output.contains("--com2"));
        QVERIFY(parseCommandLine({"tavo-console", "--help"}).output.contains("--simulate"));
        QVERIFY(parseCommandLine({"tavo-console", "--help"}).output.contains("--list-ports"));
        QVERIFY(!parseCommandLine({"tavo-console", "--list-ports"}).output.isEmpty());
        // Qt's own wording would promise Qt's options, which the console does not take.
        const QString helpAll = parseCommandLine({"tavo-console", "--help-all"}).output;
        QVERIFY(!helpAll.contains("generic Qt options"));
        QCOMPARE(helpAll, parseCommandLine({"tavo-console", "--help"}).output);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
