#include "qt/commandline/commandline.h"

#include <QTest>

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
        const CommandLine parsed = parseCommandLine(QStringList{"tavo-console"} + arguments);
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
        const CommandLine parsed = parseCommandLine(QStringList{"tavo-console"} + arguments);
        QCOMPARE(parsed.run, run);
        QCOMPARE(parsed.options.simulate, run);
        QCOMPARE(parsed.exitCode, run ? 0 : 2);
        QCOMPARE(parsed.error.isEmpty(), run);
    }

    void readsTheCommandLineMode_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("sends");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<bool>("json");
        QTest::addColumn<QString>("logFile");
        QTest::newRow("one command") << QStringList{"--send", "CR0"} << QStringList{"CR0"} << "19200,N,8,1"
                                     << 2000 << false << "";
        QTest::newRow("in order, blanks kept")
            << QStringList{"--send", "CR0", "--send=CR PRESSURE", "--send", " c00 "}
            << QStringList{"CR0", "CR PRESSURE", " c00 "} << "19200,N,8,1" << 2000 << false << "";
        QTest::newRow("an empty text is a lone CR")
            << QStringList{"--send", ""} << QStringList{""} << "19200,N,8,1" << 2000 << false << "";
        QTest::newRow("speed, wait, json and log")
            << QStringList{"--speed", "9600",   "--send", "CR3",       "--wait",
                           "150",     "--json", "--log",  "/tmp/t.log"}
            << QStringList{"CR3"} << "9600,N,8,1" << 150 << true << "/tmp/t.log";
        QTest::newRow("window with a log") << QStringList{"--log", "/tmp/t.log"} << QStringList{}
                                           << "19200,N,8,1" << 2000 << false << "/tmp/t.log";
        QTest::newRow("json alone starts the window")
            << QStringList{"--json"} << QStringList{} << "19200,N,8,1" << 2000 << true << "";
    }
    void readsTheCommandLineMode()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, sends);
        QFETCH(QString, settings);
        QFETCH(int, waitMs);
        QFETCH(bool, json);
        QFETCH(QString, logFile);
        const CommandLine parsed = parseCommandLine(QStringList{"tavo-console"} + arguments);
        QVERIFY2(parsed.run, qPrintable(parsed.error));
        QCOMPARE(parsed.options.sends, sends);
        QCOMPARE(QString::fromStdString(parsed.options.settings), settings);
        QCOMPARE(parsed.options.wait.count(), waitMs);
        QCOMPARE(parsed.options.json, json);
        QCOMPARE(parsed.options.logFile, logFile);
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
    }
    void refusesWhatTheCommandLineModeCannotUse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const CommandLine parsed = parseCommandLine(QStringList{"tavo-console"} + arguments);
        QVERIFY(!parsed.run);
        QCOMPARE(parsed.exitCode, 2);
        QVERIFY2(parsed.error.contains(says), qPrintable(parsed.error));
        QVERIFY(!parsed.error.contains('\n'));
    }

    void versionAndHelpSayWhatTheyShould()
    {
        QCOMPARE(parseCommandLine({"tavo-console", "--version"}).output, QString("1.40\n"));
        QVERIFY(parseCommandLine({"tavo-console", "--help"}).output.contains("--com2"));
        QVERIFY(parseCommandLine({"tavo-console", "--help"}).output.contains("--simulate"));
        QVERIFY(parseCommandLine({"tavo-console", "--help"}).output.contains("--list-ports"));
        QVERIFY(!parseCommandLine({"tavo-console", "--list-ports"}).output.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
