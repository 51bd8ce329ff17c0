#include "console/exchange.h"
#include "link/bytelink.h"
#include "loopbacklistener.h"
#include "pty.h"
#include "qt/simulator/simulatedprojector.h"
#include "ser2net.h"

#include <fcntl.h>
#include <functional>
#include <memory>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utility>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

extern char **environ;

namespace {
constexpr int RunLimitMs = 20000;
constexpr int ExitPollMs = 10;
// A server that never ends its reply: what it keeps queued for the console to read.
constexpr qint64 FloodChunkBytes = 64 * 1024;
// How long past its --wait a run may take on a loaded machine; the flood once took minutes.
constexpr qint64 RunMarginMs = 5000;

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

// The real tavo-console with arguments as raw bytes, which QProcess would pass as UTF-8; stdout into a
// file. Ends it if it has not ended by RunLimitMs, and gives its exit code.
int runConsoleWithBytes(const std::vector<std::string> &arguments, const QString &outputFile,
                        const std::function<void()> &whileRunning)
{
    std::vector<std::string> all{TAVO_CONSOLE};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, QFile::encodeName(outputFile).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        qFatal("tavo-console could not be started");
    whileRunning();
    int status = 0;
    QElapsedTimer waited;
    waited.start();
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (waited.elapsed() > RunLimitMs) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        QTest::qWait(ExitPollMs);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

    // The far end gets every byte of the argument as given, then the CR; the JSON shows the same text.
    void everyByteGoesOutAsGiven_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::newRow("pseudo-terminal") << false;
        QTest::newRow("rfc2217 through ser2net") << true;
    }
    void everyByteGoesOutAsGiven()
    {
        QFETCH(bool, rfc2217);
        if (rfc2217)
            SKIP_WITHOUT_SER2NET();
        Pty pty;
        Ser2net server{pty.slavePath()};
        if (rfc2217)
            QVERIFY2(server.start(), qPrintable(server.output()));
        const std::string com1 =
            rfc2217 ? "rfc2217://127.0.0.1:" + std::to_string(server.rfc2217Port()) : pty.slavePath();
        std::string text;
        for (int code = 1; code <= 0xFF; ++code)
            text.push_back(char(code));
        QTemporaryDir dir;
        const QString output = dir.filePath("out");
        std::string arrived;
        const int exitCode = runConsoleWithBytes({"--com1", com1, "--json", "--send", text}, output, [&] {
            arrived = pty.read(text.size() + 1, std::chrono::milliseconds(RunLimitMs));
            pty.write("\r");
        });
        QCOMPARE(arrived, text + '\r');
        QCOMPARE(exitCode, 0);
        QFile file(output);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject line = QJsonDocument::fromJson(file.readAll()).object();
        QCOMPARE(line.value("sent").toString().toLatin1().toStdString(), text);
        QCOMPARE(line.value("answered").toBool(), true);
    }

    // A server that sends without end and never a CR: the reply is cut, the wait ends it, and it is no
    // answer.
    void aReplyWithoutEndIsCutAtTheWait()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QByteArray flood(FloodChunkBytes, 'A');
        connect(&server, &QTcpServer::newConnection, &server, [&] {
            QTcpSocket *client = server.nextPendingConnection();
            auto more = [client, &flood] {
                if (client->bytesToWrite() < FloodChunkBytes)
                    client->write(flood);
            };
            connect(client, &QTcpSocket::bytesWritten, client, more);
            more();
        });
        const int waitMs = 1000;
        QElapsedTimer ran;
        ran.start();
        const Outcome outcome =
            runConsole({"--com1", QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort()), "--json",
                        "--wait", QString::number(waitMs), "--send", "CR0"});
        QVERIFY2(ran.elapsed() < waitMs + RunMarginMs, qPrintable(QString::number(ran.elapsed())));
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.err, QByteArray());
        QVERIFY(outcome.out.size() < qsizetype(4 * ReplyLimit));
        const QJsonObject line = QJsonDocument::fromJson(outcome.out).object();
        QCOMPARE(line.value("answered").toBool(true), false);
        QCOMPARE(line.value("reply").toString(), QString(qsizetype(ReplyLimit), QLatin1Char('A')));
        QVERIFY(line.value("cut").toInteger() > 0);
    }

    void aCommandLongerThanTheQueueIsRefusedWhole()
    {
        Pty pty;
        const std::string text(ByteLink::WriteQueueLimit + 4464, 'A');
        const Outcome outcome = runConsole(
            {"--com1", QString::fromStdString(pty.slavePath()), "--send", QString::fromStdString(text)});
        QCOMPARE(outcome.exitCode, 3);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.err.toStdString(), "tavo-console: COM1 (" + pty.slavePath() +
                                                "): the command is longer than the line can queue (70001 "
                                                "bytes, at most 65536) (error 11)\n");
        QCOMPARE(pty.readAvailable(), std::string());
    }

    void anOutputThatCannotBeWrittenEndsWithFive()
    {
        SimulatedProjector projector;
        QProcess console;
        console.setStandardOutputFile(QStringLiteral("/dev/full"));
        QSignalSpy finished(&console, &QProcess::finished);
        console.start(QStringLiteral(TAVO_CONSOLE),
                      onSimulator(projector, {"--send", "CR0", "--send", "C00"}));
        QVERIFY(finished.wait(RunLimitMs));
        QCOMPARE(console.exitCode(), 5);
        QCOMPARE(
            console.readAllStandardError(),
            QByteArray("tavo-console: the output could not be written; stopped after 1 of 2 commands\n"));
        QCOMPARE(projector.projector().power(projector.now()), Projector::Power::Standby);
    }

    void missingDeviceEndsWithThree_data()
    {
        QTest::addColumn<QStringList>("output");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("text") << QStringList{} << QByteArray();
        QTest::newRow("json")
            << QStringList{"--json"}
            << QByteArray("{\"error\":\"COM1 (/dev/tavo-no-such-device): no such device (error 1)\","
                          "\"exit\":3,\"port\":\"COM1 (/dev/tavo-no-such-device)\"}\n");
    }
    void missingDeviceEndsWithThree()
    {
        QFETCH(QStringList, output);
        QFETCH(QByteArray, out);
        const Outcome outcome =
            runConsole(QStringList{"--com1", "/dev/tavo-no-such-device", "--send", "CR0"} + output);
        QCOMPARE(outcome.exitCode, 3);
        QCOMPARE(outcome.out, out);
        QCOMPARE(outcome.err,
                 QByteArray("tavo-console: COM1 (/dev/tavo-no-such-device): no such device (error 1)\n"));
    }

    // Each line goes out as it comes down the pipe, and the end of input ends the run.
    void aScriptFromAPipe()
    {
        QProcess console;
        QSignalSpy finished(&console, &QProcess::finished);
        console.start(QStringLiteral(TAVO_CONSOLE), {"--simulate", "--script", "-", "--json"});
        console.write("# lamp\nCR0\n");
        QTRY_VERIFY_WITH_TIMEOUT(console.canReadLine(), RunLimitMs);
        const QJsonObject state = QJsonDocument::fromJson(console.readLine()).object();
        console.write("CR3\r\n");
        console.closeWriteChannel();
        QVERIFY(finished.wait(RunLimitMs));
        QCOMPARE(console.exitCode(), 0);
        const QJsonObject hours = QJsonDocument::fromJson(console.readLine()).object();
        QCOMPARE(console.readAll(), QByteArray());
        QCOMPARE(state.value("value").toString(), QString("standby"));
        QCOMPARE(hours.value("sent").toString(), QString("CR3"));
        QVERIFY(hours.value("value").isDouble());
        QVERIFY(state.value("port").toString().startsWith("COM1 (/dev/"));
    }

    // The first round whole, then nothing while the simulated projector stands by, until SIGTERM.
    void aWatchPrintsTheFirstRoundThenChangesUntilStopped()
    {
        QProcess console;
        QSignalSpy finished(&console, &QProcess::finished);
        console.start(QStringLiteral(TAVO_CONSOLE), {"--simulate", "--watch", "1", "--json"});
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += console.readAllStandardOutput()).count('\n') >= 9, RunLimitMs);
        ::kill(pid_t(console.processId()), SIGTERM);
        QVERIFY(finished.wait(RunLimitMs));
        QCOMPARE(console.exitStatus(), QProcess::NormalExit);
        QCOMPARE(console.exitCode(), 0);
        const QList<QByteArray> lines = (out + console.readAllStandardOutput()).trimmed().split('\n');
        QStringList sent;
        for (const QByteArray &line : lines) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            QVERIFY2(object.contains("value") && object.contains("time"), line.constData());
            sent.append(object.value("sent").toString());
        }
        QCOMPARE(sent, (QStringList{"CR0", "CR1", "CR3", "CR4", "CR6", "CR7", "CR9", "CRA", "CR PRESSURE"}));
    }

    // A projector slower than the wait: each reply is dropped as late, never taken as the next command's.
    void aLateReplyIsNotTheNextCommands()
    {
        SimulatorOptions options;
        options.replyDelay = std::chrono::milliseconds(150);
        SimulatedProjector projector(options);
        const Outcome outcome =
            runConsole(onSimulator(projector, {"--wait", "100", "--send", "CR0", "--send", "CR3"}));
        QCOMPARE(outcome.out, QByteArray("\"CR0\" \" X X X X\" \"\"\n\"CR3\" \" X X X X\" \"\"\n"));
        QCOMPARE(outcome.exitCode, 1);
    }

    // A reader that never reads holds nothing: the watch goes on, SIGTERM ends it, and what could not be
    // written is told.
    void aBlockedOutputNeverHoldsTheWatch()
    {
        int pipe[2] = {-1, -1};
        QVERIFY(::pipe2(pipe, O_NONBLOCK | O_CLOEXEC) == 0);
        const QByteArray fill(4096, 'x');
        while (::write(pipe[1], fill.constData(), std::size_t(fill.size())) > 0) {
        }
        SimulatedProjector projector;
        const QString error = QDir::temp().filePath(QStringLiteral("tavo-blocked-%1.err").arg(::getpid()));
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, QFile::encodeName(error).constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> all{TAVO_CONSOLE, "--com1", projector.slavePath(), "--watch", "1"};
        std::vector<char *> argv;
        for (std::string &argument : all)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        QCOMPARE(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        // The whole first round is asked while its first line waits for the reader.
        QTRY_VERIFY_WITH_TIMEOUT(projector.projector().timesReceived("CR PRESSURE") >= 1, RunLimitMs);
        ::kill(pid, SIGTERM);
        QElapsedTimer stopping;
        stopping.start();
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0 && stopping.elapsed() < RunLimitMs)
            QTest::qWait(ExitPollMs);
        ::close(pipe[0]);
        ::close(pipe[1]);
        QFile told(error);
        QVERIFY(told.open(QIODevice::ReadOnly));
        const QByteArray text = told.readAll();
        told.remove();
        QVERIFY2(stopping.elapsed() < RunMarginMs, qPrintable(QString::number(stopping.elapsed())));
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 5);
        QVERIFY2(text.endsWith(" lines could not be written to standard output\n"), text.constData());
    }

    void aWatchWhoseLineCannotOpenEndsWithThree()
    {
        const Outcome outcome = runConsole({"--com1", "/dev/tavo-no-such-device", "--watch", "1"});
        QCOMPARE(outcome.exitCode, 3);
        QCOMPARE(outcome.err,
                 QByteArray("tavo-console: COM1 (/dev/tavo-no-such-device): no such device (error 1)\n"));
    }

    // Every projector of a fleet over its own line: those that answer have their rounds, each line names
    // its projector, those that cannot be reached are told once each, and SIGTERM ends it with 0.
    void aFleetWatchesEachProjector()
    {
        SimulatedProjector hallA;
        SimulatedProjector hallB;
        QTemporaryDir directory;
        QFile fleet(directory.filePath(QStringLiteral("fleet")));
        QVERIFY(fleet.open(QIODevice::WriteOnly));
        fleet.write(QByteArray("# name endpoint speed\nhall-a ") + hallA.slavePath().c_str() + "\nhall-b " +
                    hallB.slavePath().c_str() + " 9600\ngone tcp://127.0.0.1:" +
                    QByteArray::number(freeLoopbackPort()) + "\nlost /dev/tavo-no-such-device\n");
        fleet.close();
        QProcess console;
        QSignalSpy finished(&console, &QProcess::finished);
        console.start(QStringLiteral(TAVO_CONSOLE),
                      {"--fleet", fleet.fileName(), "--watch", "1", "--query", "CR0", "--json"});
        QTRY_VERIFY_WITH_TIMEOUT(hallA.projector().timesReceived("CR0") >= 2 &&
                                     hallB.projector().timesReceived("CR0") >= 2,
                                 RunLimitMs);
        ::kill(pid_t(console.processId()), SIGTERM);
        QVERIFY(finished.wait(RunLimitMs));
        QCOMPARE(console.exitStatus(), QProcess::NormalExit);
        QCOMPARE(console.exitCode(), 0);
        QStringList projectors;
        for (const QByteArray &line : console.readAllStandardOutput().trimmed().split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            QCOMPARE(object.value("status").toString(), QString(" Stand by"));
            QVERIFY2(object.value("port").toString().contains("/dev/"), line.constData());
            projectors.append(object.value("projector").toString());
        }
        projectors.sort();
        QCOMPARE(projectors, (QStringList{"hall-a", "hall-b"}));
        const QList<QByteArray> told = console.readAllStandardError().trimmed().split('\n');
        QCOMPARE(told.size(), 2);
        for (const QByteArray &line : told)
            QVERIFY2(
                line.startsWith("tavo-console: gone: COM1 (tcp://127.0.0.1:") ||
                    line.startsWith("tavo-console: lost: COM1 (/dev/tavo-no-such-device): no such device"),
                line.constData());
    }

    void aFleetFileWithAMistakeOpensNothing()
    {
        SimulatedProjector hallA;
        QTemporaryDir directory;
        QFile fleet(directory.filePath(QStringLiteral("fleet")));
        QVERIFY(fleet.open(QIODevice::WriteOnly));
        fleet.write(QByteArray("hall-a ") + hallA.slavePath().c_str() + "\nhall-b auto\n");
        fleet.close();
        const Outcome outcome = runConsole({"--fleet", fleet.fileName(), "--watch", "1"});
        QCOMPARE(outcome.exitCode, 2);
        QVERIFY2(outcome.err.startsWith("tavo-console: " + QFile::encodeName(fleet.fileName()) + ":2: auto "),
                 outcome.err.constData());
        QCOMPARE(hallA.projector().timesReceived("CR0"), 0);
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
        QTest::addColumn<QString>("log");
        QTest::addColumn<QByteArray>("reason");
        for (const auto &[mode, arguments] : {std::pair{"command-line mode", QStringList{"--send", "C00"}},
                                              std::pair{"window", QStringList{}}}) {
            QTest::addRow("%s, no such folder", mode)
                << arguments << "missing/traffic.log" << QByteArray("No such file");
            // Refused at once, not waited on for ever.
            QTest::addRow("%s, a FIFO without a reader", mode)
                << arguments << "fifo" << QByteArray("a FIFO with no reader");
            QTest::addRow("%s, a folder", mode) << arguments << "." << QByteArray("a directory, not a file");
        }
    }
    void aLogThatCannotBeOpenedStopsEverything()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, log);
        QFETCH(QByteArray, reason);
        QTemporaryDir dir;
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
        const QString path = dir.filePath(log);
        SimulatedProjector projector;
        const Outcome outcome = runConsole(onSimulator(projector, QStringList{"--log", path} + arguments));
        QCOMPARE(outcome.exitCode, 2);
        QCOMPARE(outcome.err.count('\n'), 1);
        QVERIFY2(outcome.err.contains(QFile::encodeName(path) + " cannot be opened for appending"),
                 outcome.err.constData());
        QVERIFY2(outcome.err.contains(reason), outcome.err.constData());
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(projector.projector().power(projector.now()), Projector::Power::Standby);
    }

    void aLogThatCannotBeWrittenEndsWithFive_data()
    {
        QTest::addColumn<bool>("portMissing");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("answered") << false << 5;
        // The port's failure says more.
        QTest::newRow("the port failed too") << true << 3;
    }
    void aLogThatCannotBeWrittenEndsWithFive()
    {
        QFETCH(bool, portMissing);
        QFETCH(int, exitCode);
        SimulatedProjector projector;
        const QStringList arguments{"--log", "/dev/full", "--send", "CR0"};
        const Outcome outcome =
            runConsole(portMissing ? QStringList{"--com1", "/dev/tavo-no-such-device"} + arguments
                                   : onSimulator(projector, arguments));
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(outcome.out,
                 portMissing ? QByteArray() : QByteArray("\"CR0\" \" 8 0 CR \" \" Stand by\"\n"));
        QVERIFY2(outcome.err.contains(
                     "tavo-console: the traffic log /dev/full could not be written (No space left "
                     "on device); logging stops\n"),
                 outcome.err.constData());
        QCOMPARE(outcome.err.count('\n'), portMissing ? 2 : 1);
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
