#include "qt/simulator/simulatedprojector.h"

#include <memory>

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int RunLimitMs = 20000;

struct Outcome
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// The real tavo-console, with no display of any kind in its environment. The event loop runs while it
// does, so a simulated projector of this process answers it.
Outcome runConsole(const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"})
        environment.remove(QString::fromLatin1(name));
    QProcess console;
    console.setProcessEnvironment(environment);
    QSignalSpy finished(&console, &QProcess::finished);
    console.start(QStringLiteral(TAVO_CONSOLE), arguments);
    if (!finished.wait(RunLimitMs))
        qFatal("tavo-console %s did not end", qPrintable(arguments.join(' ')));
    Outcome outcome;
    outcome.exitCode = console.exitStatus() == QProcess::NormalExit ? console.exitCode() : -1;
    outcome.out = console.readAllStandardOutput();
    outcome.err = console.readAllStandardError();
    return outcome;
}

QStringList onSimulator(const SimulatedProjector &projector, const QStringList &arguments)
{
    return QStringList{"--com1", QString::fromStdString(projector.slavePath())} + arguments;
}
} // namespace

// The command-line mode, the traffic log and the start without a display, through the real program.
class TestCommandLineProgram : public QObject
{
    Q_OBJECT

private slots:
    void sendsAndPrints_data()
    {
        QTest::addColumn<int>("dropEvery");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("query answered and decoded")
            << 0 << QStringList{"--send", "CR0"} << QByteArray("\"CR0\" \" 8 0 CR \" \" Stand by\"\n") << 0;
        QTest::newRow("command only acknowledged")
            << 0 << QStringList{"--send", "C00"} << QByteArray("\"C00\" \" ACK CR \"\n") << 0;
        QTest::newRow("queries in order")
            << 0 << QStringList{"--send", "CR3", "--send", "CR PRESSURE", "--send", "C05", "--send", "CR1"}
            << QByteArray("\"CR3\" \" 0 1 2 3 4 CR \" \" 0 1 2 3 4 CR  Hour Use\"\n"
                          "\"CR PRESSURE\" \" 8 5 3 CR \" \"1013 hPa\"\n"
                          "\"C05\" \" ACK CR \"\n"
                          "\"CR1\" \" 1 CR \" \" Computer 1\"\n")
            << 0;
        QTest::newRow("dropped reply")
            << 2 << QStringList{"--wait", "300", "--send", "CR0", "--send", "CR3", "--send", "C00"}
            << QByteArray("\"CR0\" \" 8 0 CR \" \" Stand by\"\n"
                          "\"CR3\" \" X X X X\" \"\"\n"
                          "\"C00\" \" ACK CR \"\n")
            << 1;
        QTest::newRow("a lone CR goes unanswered")
            << 0 << QStringList{"--wait", "200", "--send", ""} << QByteArray("\"\" \" X X X X\"\n") << 1;
        QTest::newRow("at 9600 baud") << 0 << QStringList{"--speed", "9600", "--send", "CR4"}
                                      << QByteArray("\"CR4\" \" 1 1 CR \" \" Normally\"\n") << 0;
    }
    void sendsAndPrints()
    {
        QFETCH(int, dropEvery);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, out);
        QFETCH(int, exitCode);
        SimulatorOptions options;
        options.dropEvery = dropEvery;
        SimulatedProjector projector(options);
        const Outcome outcome = runConsole(onSimulator(projector, arguments));
        QCOMPARE(outcome.out, out);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.exitCode, exitCode);
    }

    void missingDeviceEndsWithThree()
    {
        const Outcome outcome = runConsole({"--com1", "/dev/tavo-no-such-device", "--send", "CR0"});
        QCOMPARE(outcome.exitCode, 3);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.err,
                 QByteArray("tavo-console: COM1 (/dev/tavo-no-such-device): no such device (error 1)\n"));
    }

    void aLineLostMidwayEndsWithThree()
    {
        SimulatorOptions options;
        options.dropEvery = 1;
        auto projector = std::make_unique<SimulatedProjector>(options);
        QProcess console;
        QSignalSpy finished(&console, &QProcess::finished);
        console.start(QStringLiteral(TAVO_CONSOLE),
                      onSimulator(*projector, {"--wait", "60000", "--send", "C00", "--send", "CR0"}));
        // The power-on was carried out, so the command is on the line and its reply awaited.
        QTRY_COMPARE_WITH_TIMEOUT(projector->projector().power(projector->now()), Projector::Power::CountDown,
                                  RunLimitMs);
        const QString port = QString::fromStdString(projector->slavePath());
        projector.reset();
        QVERIFY(finished.wait(RunLimitMs));
        QCOMPARE(console.exitCode(), 3);
        QCOMPARE(console.readAllStandardOutput(), QByteArray("\"C00\" \" X X X X\"\n"));
        const QByteArray error = console.readAllStandardError();
        QVERIFY2(error.startsWith("tavo-console: COM1 (" + port.toUtf8() + "): "), error.constData());
        QCOMPARE(error.count('\n'), 1);
    }

    void jsonLinesCarryTheirFields()
    {
        SimulatedProjector projector;
        const Outcome outcome =
            runConsole(onSimulator(projector, {"--json", "--send", "CR0", "--send", "C00"}));
        QCOMPARE(outcome.exitCode, 0);
        const QList<QByteArray> lines = outcome.out.split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[2], QByteArray());
        const QJsonObject query = QJsonDocument::fromJson(lines[0]).object();
        const QJsonObject command = QJsonDocument::fromJson(lines[1]).object();
        QCOMPARE(query.value("sent").toString(), QString("CR0"));
        QCOMPARE(query.value("reply").toString(), QString("80\r"));
        QCOMPARE(query.value("trace").toString(), QString(" 8 0 CR "));
        QCOMPARE(query.value("status").toString(), QString(" Stand by"));
        QCOMPARE(query.value("answered").toBool(), true);
        QVERIFY(query.value("ms").toDouble() > 0);
        QCOMPARE(command.value("reply").toString(), QString("\x06\r"));
        QVERIFY(!command.contains("status"));
    }

    void theLogOfOneExchange()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("traffic.log");
        SimulatedProjector projector;
        const Outcome outcome = runConsole(onSimulator(projector, {"--log", path, "--send", "CR0"}));
        QCOMPARE(outcome.exitCode, 0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        const QString port = QStringLiteral("COM1 (%1)").arg(QString::fromStdString(projector.slavePath()));
        const QStringList expected{
            "OPEN " + port + " 19200,N,8,1",
            "TX " + port + " \" C R 0 CR \" 43 52 30 0D",
            "RX " + port + " \" 8 0 CR \" 38 30 0D",
            "CLOSE " + port,
        };
        QCOMPARE(lines.size(), expected.size());
        QDateTime previous;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString time = lines[i].section(' ', 0, 0);
            QCOMPARE(lines[i].section(' ', 1), expected[i]);
            const QDateTime at = QDateTime::fromString(time, Qt::ISODateWithMs);
            QVERIFY2(at.isValid(), qPrintable(time));
            QVERIFY2(!previous.isValid() || previous <= at, qPrintable(lines.join('\n')));
            previous = at;
        }
    }

    void aLogThatCannotBeOpenedStopsEverything_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("command-line mode") << QStringList{"--send", "C00"};
        QTest::newRow("window") << QStringList{};
    }
    void aLogThatCannotBeOpenedStopsEverything()
    {
        QFETCH(QStringList, arguments);
        SimulatedProjector projector;
        const Outcome outcome =
            runConsole(onSimulator(projector, QStringList{"--log", "/nonexistent/traffic.log"} + arguments));
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.err.count('\n'), 1);
        QVERIFY(outcome.err.contains("/nonexistent/traffic.log cannot be opened for appending"));
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(projector.projector().power(projector.now()), Projector::Power::Standby);
    }

    void simulatedWithoutADisplay()
    {
        const Outcome outcome =
            runConsole({"--simulate", "--send", "CR0", "--send", "CR3", "--send", "CR PRESSURE"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out, QByteArray("\"CR0\" \" 8 0 CR \" \" Stand by\"\n"
                                         "\"CR3\" \" 0 1 2 3 4 CR \" \" 0 1 2 3 4 CR  Hour Use\"\n"
                                         "\"CR PRESSURE\" \" 8 5 3 CR \" \"1013 hPa\"\n"));
    }

    void noDisplayGivesOneLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("plain start") << QStringList{};
        QTest::newRow("simulated") << QStringList{"--simulate"};
        QTest::newRow("json without send") << QStringList{"--json", "--com1", "/dev/tavo-no-such-device"};
    }
    void noDisplayGivesOneLine()
    {
        QFETCH(QStringList, arguments);
        const Outcome outcome = runConsole(arguments);
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.err,
                 QByteArray("tavo-console: no display; set DISPLAY, or use the command-line mode "
                            "(--send)\n"));
        QCOMPARE(outcome.out, QByteArray());
    }

    void helpWithoutADisplay_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("-h") << "-h";
        QTest::newRow("--help") << "--help";
        QTest::newRow("--help-all") << "--help-all";
    }
    void helpWithoutADisplay()
    {
        QFETCH(QString, option);
        const Outcome outcome = runConsole({"--com1", "/dev/tavo-no-such-device", option});
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY(outcome.out.contains("--send"));
        QCOMPARE(outcome.err, QByteArray());
    }

    void badArgumentsSendNothing()
    {
        SimulatedProjector projector;
        const Outcome outcome = runConsole(onSimulator(projector, {"--send", "C00", "--wait", "0"}));
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.err.count('\n'), 1);
        QCOMPARE(projector.projector().power(projector.now()), Projector::Power::Standby);
    }
};

QTEST_GUILESS_MAIN(TestCommandLineProgram)
#include "tst_commandlineprogram.moc"
