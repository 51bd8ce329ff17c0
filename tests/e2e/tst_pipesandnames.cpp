#include "consoleprocess.h"
#include "pty.h"
#include "qt/simulator/simulatedprojector.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString Console = QStringLiteral(TAVO_CONSOLE);

QByteArray contentsOf(const QByteArray &path)
{
    QFile file(QString::fromLatin1(path));
    const int descriptor = ::open(path.constData(), O_RDONLY);
    if (descriptor < 0 || !file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return {};
    return file.readAll();
}

bool writeBytes(const QByteArray &path, const QByteArray &content)
{
    const int descriptor = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (descriptor < 0)
        return false;
    const bool written =
        ::write(descriptor, content.constData(), std::size_t(content.size())) == content.size();
    ::close(descriptor);
    return written;
}
} // namespace

// Standard input, scripts and names as a Unix user expects them, through the real program.
class TestPipesAndNames : public QObject
{
    Q_OBJECT

private slots:
    // A device, a script and a log named in bytes that are UTF-8 or not: each reaches the file system as
    // given, and the JSON shows the name in valid UTF-8.
    void pathsKeepTheirBytes_data()
    {
        QTest::addColumn<QByteArray>("suffix");
        QTest::addColumn<QString>("shown");
        QTest::newRow("UTF-8") << QByteArray("p\xC3\xA9") << QString::fromUtf8("p\xC3\xA9");
        QTest::newRow("not UTF-8") << QByteArray("p\xE9") << QString("p\\xE9");
    }
    void pathsKeepTheirBytes()
    {
        QFETCH(QByteArray, suffix);
        QFETCH(QString, shown);
        SimulatedProjector projector;
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + '/';
        const QByteArray device = folder + "tty-" + suffix;
        const QByteArray script = folder + "script-" + suffix;
        const QByteArray log = folder + "log-" + suffix;
        QCOMPARE(::symlink(projector.slavePath().c_str(), device.constData()), 0);
        QVERIFY(writeBytes(script, "CR0\n"));
        const QString output = dir.filePath("out");
        const int exitCode = runConsoleWithBytes(Console,
                                                 {"--com1", device.toStdString(), "--script",
                                                  script.toStdString(), "--log", log.toStdString(), "--json"},
                                                 output, [] {});
        QCOMPARE(exitCode, 0);
        QFile out(output);
        QVERIFY(out.open(QIODevice::ReadOnly));
        const QJsonObject line = QJsonDocument::fromJson(out.readAll()).object();
        QCOMPARE(line.value("port").toString(), "COM1 (" + dir.path() + "/tty-" + shown + ")");
        QCOMPARE(line.value("value").toString(), QString("standby"));
        const QByteArray logged = contentsOf(log);
        QVERIFY2(logged.contains(" START tavo-console "), logged.constData());
        QVERIFY2(logged.contains("38 30 0D = standby\n"), logged.constData());
    }

    // A reader that goes away ends the run with 5 and one line, as any output that cannot be written.
    void aClosedOutputEndsWithFive()
    {
        QTemporaryDir dir;
        QProcess shell;
        shell.start(QStringLiteral("bash"),
                    {"-c",
                     "yes CR0 | \"$0\" --simulate --script - 2>\"$1\" | head -n1 >/dev/null; "
                     "echo \"${PIPESTATUS[1]}\"",
                     Console, dir.filePath("err")});
        QVERIFY(shell.waitForFinished(RunLimitMs));
        QCOMPARE(shell.readAllStandardOutput(), QByteArray("5\n"));
        QFile err(dir.filePath("err"));
        QVERIFY(err.open(QIODevice::ReadOnly));
        const QByteArray told = err.readAll();
        QVERIFY2(told.startsWith("tavo-console: the output could not be written") && told.count('\n') == 1,
                 told.constData());
    }

    // A hang-up stops a watch as SIGTERM does: exit 0, the port closed and the log whole.
    void aHangUpEndsAWatchInOrder()
    {
        QTemporaryDir dir;
        const QString output = dir.filePath("out");
        const QString log = dir.filePath("log");
        const int pid = spawnConsole(
            Console, {"--simulate", "--watch", "1", "--query", "CR0", "--log", log.toStdString()},
            {.outputFile = output});
        QTRY_VERIFY_WITH_TIMEOUT(QFile(output).size() > 0, RunLimitMs);
        ::kill(pid, SIGHUP);
        QCOMPARE(waitForConsole(pid), 0);
        QFile logged(log);
        QVERIFY(logged.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = logged.readAll().trimmed().split('\n');
        QVERIFY2(lines.last().contains(" CLOSE COM1 "), lines.last().constData());
    }

    // A script that is not there fails as one that cannot be read: exit 2, and with --json an object.
    void aMissingScriptIsToldInJson()
    {
        QTemporaryDir dir;
        const Outcome outcome =
            runConsole(Console, {"--simulate", "--script", dir.filePath("absent"), "--json"});
        QCOMPARE(outcome.exitCode, 2);
        const QString told =
            "the script " + dir.filePath("absent") + " could not be read (No such file or directory)";
        QCOMPARE(outcome.err, "tavo-console: " + told.toUtf8() + '\n');
        const QJsonObject failure = QJsonDocument::fromJson(outcome.out).object();
        QCOMPARE(failure.value("error").toString(), told);
        QCOMPARE(failure.value("exit").toInt(), 2);
    }

    // Closed, standard input is refused at once rather than read from whatever takes its number.
    void aClosedStandardInputIsRefused()
    {
        QTemporaryDir dir;
        const int pid = spawnConsole(
            Console, {"--simulate", "--script", "-"},
            {.inputClosed = true, .outputFile = dir.filePath("out"), .errorFile = dir.filePath("err")});
        QCOMPARE(waitForConsole(pid), 2);
        QFile err(dir.filePath("err"));
        QVERIFY(err.open(QIODevice::ReadOnly));
        QCOMPARE(err.readAll(),
                 QByteArray("tavo-console: --script - reads standard input, and it is closed\n"));
    }

    // A terminal as standard input keeps its flags, whatever signal ends the run.
    void aTerminalIsLeftAsItWas_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }
    void aTerminalIsLeftAsItWas()
    {
        QFETCH(int, signal);
        Pty terminal;
        const int shared = ::open(terminal.slavePath().c_str(), O_RDWR | O_NOCTTY);
        QVERIFY(shared >= 0);
        const int flags = ::fcntl(shared, F_GETFL);
        const int pid = spawnConsole(Console, {"--simulate", "--script", "-"},
                                     {.inputDescriptor = shared, .outputDescriptor = shared});
        terminal.write("CR0\n");
        // Its first reply on the terminal shows it reads and writes there.
        std::string shown;
        QTRY_VERIFY_WITH_TIMEOUT((shown += terminal.readAvailable()).find("Stand by") != std::string::npos,
                                 RunLimitMs);
        ::kill(pid, signal);
        waitForConsole(pid);
        QCOMPARE(::fcntl(shared, F_GETFL), flags);
        ::close(shared);
    }
};

QTEST_GUILESS_MAIN(TestPipesAndNames)
#include "tst_pipesandnames.moc"
