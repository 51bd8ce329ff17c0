#include "consoleprocess.h"
#include "exchange/exchange.h"
#include "link/bytelink.h"
#include "loopbacklistener.h"
#include "program.h"
#include "pty.h"
#include "qt/links/tcplink.h"
#include "qt/simulator/projectorserver.h"
#include "qt/simulator/simulatedprojector.h"
#include "ser2net.h"

#include <fcntl.h>
#include <functional>
#include <memory>
#include <signal.h>
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
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A server that never ends its reply: what it keeps queued for the console to read.
constexpr qint64 FloodChunkBytes = 64 * 1024;
// How long past its --wait a run may take on a loaded machine; the flood once took minutes.
constexpr qint64 RunMarginMs = 5000;
// SIGTERM ends a watch within a second, whatever still waits to be written.
constexpr qint64 StopLimitMs = 1000;

Outcome runConsole(const QStringList &arguments)
{
    return runConsole(QStringLiteral(TAVO_CONSOLE), arguments);
}

int runConsoleWithBytes(const std::vector<std::string> &arguments, const QString &outputFile,
                        const std::function<void()> &whileRunning)
{
    return runConsoleWithBytes(QStringLiteral(TAVO_CONSOLE), arguments, outputFile, whileRunning);
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

    // A command is bad input when it cannot fit the line's queue with its CR, given as an argument or as
    // a script's line; one that fits goes out whole.
    void aCommandLongerThanTheQueueIsBadInput_data()
    {
        QTest::addColumn<bool>("asScript");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("err");
        const int limit = int(ByteLink::WriteQueueLimit) - 1;
        QTest::newRow("argument past the queue")
            << false << limit + 1 << 2
            << QByteArray(
                   "tavo-console: --send takes a command of at most 65535 bytes, not 65536 (see --help)\n");
        QTest::newRow("script line past the queue")
            << true << limit + 1 << 2
            << QByteArray("tavo-console: line 1 of the script is longer than 65535 bytes\n");
        QTest::newRow("script line that fills it") << true << limit << 1 << QByteArray();
    }
    void aCommandLongerThanTheQueueIsBadInput()
    {
        QFETCH(bool, asScript);
        QFETCH(int, length);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, err);
        Pty pty;
        QTemporaryDir dir;
        const QString script = dir.filePath("long");
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(length, 'A') + '\n');
        file.close();
        const QStringList command = asScript ? QStringList{"--script", script}
                                             : QStringList{"--send", QString(qsizetype(length), 'A')};
        const Outcome outcome = runConsole(
            QStringList{"--com1", QString::fromStdString(pty.slavePath()), "--wait", "200"} + command);
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(outcome.err, err);
        // One that fits went out and had no reply (1), rather than failing at the port (3).
        if (exitCode != 1)
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

    // A server that never answers (its accept queue is full) ends the run as a missing device does, after
    // the connection's wait, in one line; the wait for a reply never starts, so nothing is reported.
    void aServerThatNeverAnswersEndsWithThree()
    {
        LoopbackListener blackHole;
        blackHole.fillAcceptQueue();
        const QString com1 = QStringLiteral("tcp://127.0.0.1:%1").arg(blackHole.port());
        QElapsedTimer ran;
        ran.start();
        const Outcome outcome = runConsole({"--com1", com1, "--wait", "100", "--send", "CR0"});
        QVERIFY2(ran.elapsed() >= TcpLink::ConnectWait.count(), qPrintable(QString::number(ran.elapsed())));
        QCOMPARE(outcome.exitCode, 3);
        QCOMPARE(outcome.out, QByteArray());
        QCOMPARE(outcome.err,
                 "tavo-console: COM1 (" + com1.toUtf8() + "): no answer from 127.0.0.1 (error 7)\n");
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

    // A server gone and back: with --json the collector reads the loss, each open again that failed and
    // the return in the same stream; stderr tells the loss and the return, each with its time.
    void aWatchTellsTheWholeOutage()
    {
        auto server = std::make_unique<ProjectorServer>();
        QVERIFY(server->listen(QHostAddress::LocalHost, 0));
        const quint16 port = server->endpoint().section(':', -1).toUShort();
        const QString endpoint = server->endpoint();
        QProcess console;
        QSignalSpy finished(&console, &QProcess::finished);
        console.start(QStringLiteral(TAVO_CONSOLE),
                      {"--com1", endpoint, "--watch", "1", "--query", "CR0", "--json"});
        QByteArray out;
        const auto objectWithLine = [&](const QString &line) {
            return QTest::qWaitFor(
                [&] {
                    out += console.readAllStandardOutput();
                    return out.contains("\"line\":\"" + line.toUtf8() + "\"");
                },
                RunLimitMs);
        };
        QTRY_VERIFY_WITH_TIMEOUT((out += console.readAllStandardOutput()).count('\n') >= 1, RunLimitMs);
        server.reset();
        QVERIFY(objectWithLine("lost"));
        QVERIFY(objectWithLine("still_lost"));
        server = std::make_unique<ProjectorServer>();
        QVERIFY(server->listen(QHostAddress::LocalHost, port));
        QVERIFY(objectWithLine("back"));
        ::kill(pid_t(console.processId()), SIGTERM);
        QVERIFY(finished.wait(RunLimitMs));
        QCOMPARE(console.exitCode(), 0);
        QStringList lines;
        for (const QByteArray &text : out.trimmed().split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(text).object();
            if (!object.contains("line"))
                continue;
            lines.append(object.value("line").toString());
            QCOMPARE(object.value("port").toString(), "COM1 (" + endpoint + ")");
            QVERIFY(QDateTime::fromString(object.value("time").toString(), Qt::ISODateWithMs).isValid());
            QVERIFY(!object.value("reason").toString().isEmpty());
        }
        QCOMPARE(lines.first(), QString("lost"));
        QCOMPARE(lines.last(), QString("back"));
        QVERIFY(lines.count("still_lost") >= 1);
        const QList<QByteArray> told = console.readAllStandardError().trimmed().split('\n');
        QCOMPARE(told.size(), 2);
        for (const QByteArray &line : told)
            QVERIFY2(QDateTime::fromString(QString::fromUtf8(line.split(' ').value(1)), Qt::ISODateWithMs)
                         .isValid(),
                     line.constData());
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

    // Readers that never read hold nothing: the watch goes on, SIGTERM ends it within a second though
    // both standard output and the log wait for their readers, and what could not be written is told.
    void aBlockedOutputNeverHoldsTheWatch()
    {
        const QByteArray fill(4096, 'x');
        const auto fillUp = [&fill](int descriptor) {
            while (::write(descriptor, fill.constData(), std::size_t(fill.size())) > 0) {
            }
        };
        int pipe[2] = {-1, -1};
        QVERIFY(::pipe2(pipe, O_NONBLOCK | O_CLOEXEC) == 0);
        fillUp(pipe[1]);
        QTemporaryDir directory;
        const QByteArray logPath = directory.filePath(QStringLiteral("log")).toUtf8();
        QVERIFY(::mkfifo(logPath.constData(), 0600) == 0);
        const int logReader = ::open(logPath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        const int logFiller = ::open(logPath.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(logReader >= 0 && logFiller >= 0);
        fillUp(logFiller);
        SimulatedProjector projector;
        const QString error = directory.filePath(QStringLiteral("err"));
        const int pid =
            spawnConsole(QStringLiteral(TAVO_CONSOLE),
                         {"--com1", projector.slavePath(), "--watch", "1", "--log", logPath.toStdString()},
                         {.outputDescriptor = pipe[1], .errorFile = error});
        // The whole first round is asked while its first line waits for the reader.
        QTRY_VERIFY_WITH_TIMEOUT(projector.projector().timesReceived("CR PRESSURE") >= 1, RunLimitMs);
        QElapsedTimer stopping;
        stopping.start();
        ::kill(pid, SIGTERM);
        const int exitCode = waitForConsole(pid);
        const qint64 stoppedMs = stopping.elapsed();
        for (const int descriptor : {pipe[0], pipe[1], logReader, logFiller})
            ::close(descriptor);
        QFile told(error);
        QVERIFY(told.open(QIODevice::ReadOnly));
        const QByteArray text = told.readAll();
        QVERIFY2(stoppedMs < StopLimitMs, qPrintable(QString::number(stoppedMs) + " ms"));
        QCOMPARE(exitCode, 5);
        QVERIFY2(text.contains(" lines could not be written to standard output\n"), text.constData());
        QVERIFY2(text.endsWith(" lines in time; they are lost\n"), text.constData());
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
        QStringList unreachable;
        for (const QByteArray &line : console.readAllStandardOutput().trimmed().split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            // An outage's object, in the same stream.
            if (object.contains("line")) {
                unreachable.append(object.value("projector").toString());
                continue;
            }
            QCOMPARE(object.value("status").toString(), QString(" Stand by"));
            QVERIFY2(object.value("port").toString().contains("/dev/"), line.constData());
            projectors.append(object.value("projector").toString());
        }
        projectors.sort();
        QCOMPARE(projectors, (QStringList{"hall-a", "hall-b"}));
        unreachable.removeDuplicates();
        unreachable.sort();
        QCOMPARE(unreachable, (QStringList{"gone", "lost"}));
        const QList<QByteArray> told = console.readAllStandardError().trimmed().split('\n');
        QCOMPARE(told.size(), 2);
        for (const QByteArray &line : told) {
            // After the time: the projector and why.
            const QByteArray why = line.mid(line.indexOf(' ', line.indexOf(' ') + 1) + 1);
            QVERIFY2(why.startsWith("gone: gone (tcp://127.0.0.1:") ||
                         why.startsWith("lost: lost (/dev/tavo-no-such-device): no such device"),
                     line.constData());
        }
    }

    // A fleet's text is a line of main values per projector, names aligned; --quiet prints none.
    void aFleetReadsAsText_data()
    {
        QTest::addColumn<bool>("quiet");
        QTest::newRow("values") << false;
        QTest::newRow("quiet") << true;
    }
    void aFleetReadsAsText()
    {
        QFETCH(bool, quiet);
        SimulatedProjector hallA;
        QTemporaryDir directory;
        QFile fleet(directory.filePath(QStringLiteral("fleet")));
        QVERIFY(fleet.open(QIODevice::WriteOnly));
        fleet.write(QByteArray("hall-a ") + hallA.slavePath().c_str() +
                    "\nauditorium tcp://127.0.0.1:" + QByteArray::number(freeLoopbackPort()) + "\n");
        fleet.close();
        QProcess console;
        QSignalSpy finished(&console, &QProcess::finished);
        QStringList arguments{"--fleet", fleet.fileName(), "--watch", "1", "--query",
                              "CR0",     "--query",        "CR3"};
        if (quiet)
            arguments << "--quiet";
        console.start(QStringLiteral(TAVO_CONSOLE), arguments);
        QTRY_VERIFY_WITH_TIMEOUT(hallA.projector().timesReceived("CR3") >= 2, RunLimitMs);
        ::kill(pid_t(console.processId()), SIGTERM);
        QVERIFY(finished.wait(RunLimitMs));
        QCOMPARE(console.exitCode(), 0);
        const QList<QByteArray> lines = console.readAllStandardOutput().trimmed().split('\n');
        const QRegularExpression values(R"(^\S+ hall-a      power_state standby  lamp_hours \d+ h$)");
        const QRegularExpression lost(R"(^\S+ auditorium  auditorium \(tcp://127\.0\.0\.1:\d+\): .+$)");
        QCOMPARE(lines.size(), quiet ? 1 : 2);
        for (const QByteArray &line : lines)
            QVERIFY2((!quiet && values.match(QString::fromUtf8(line)).hasMatch()) ||
                         lost.match(QString::fromUtf8(line)).hasMatch(),
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

    // What ran, each byte each way, a status reply's value, and a reply that never came.
    void theLogOfTheWholeExchange()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("traffic.log");
        SimulatedProjector projector;
        const Outcome outcome = runConsole(
            onSimulator(projector, {"--log", path, "--wait", "300", "--send", "CR0", "--send", ""}));
        QCOMPARE(outcome.exitCode, 1);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        const QString port = QStringLiteral("COM1 (%1)").arg(QString::fromStdString(projector.slavePath()));
        const QStringList expected{
            "START tavo-console " TAVO_VERSION " --send, COM1 " +
                QString::fromStdString(projector.slavePath()) + ", COM2 auto",
            "OPEN " + port + " 19200,N,8,1",
            "TX " + port + " \" C R 0 CR \" 43 52 30 0D",
            "RX " + port + " \" 8 0 CR \" 38 30 0D = standby",
            "TX " + port + " \" CR \" 0D",
            "NOREPLY " + port + " to \" CR \" within 300 ms",
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
