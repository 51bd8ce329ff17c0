#include "program.h"

#include <memory>
#include <vector>

#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {
constexpr int WaitMs = 5000;

// The program, run to its end with these arguments.
struct Run
{
    explicit Run(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral(TAVO_PROJECTOR_SIM), arguments);
        finished = process.waitForFinished(WaitMs);
        exitCode = process.exitCode();
        out = QString::fromLocal8Bit(process.readAllStandardOutput());
        err = QString::fromLocal8Bit(process.readAllStandardError());
    }
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};
} // namespace

// The tavo-projector-sim program itself: what it prints, how it fails, and a session over TCP.
class TestProjectorSim : public QObject
{
    Q_OBJECT

private slots:
    void versionIsTheConsoles()
    {
        const Run run({"--version"});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("tavo-projector-sim " TAVO_VERSION "\n"));
        QVERIFY(run.err.isEmpty());
    }

    void aWrongListenAddressIsOneLineAndExitCodeTwo_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("no port") << "127.0.0.1";
        QTest::newRow("a host name") << "projector:4001";
        QTest::newRow("an IPv6 address of nine groups") << "[1:2:3:4:5:6:7:8:9]:4001";
    }
    void aWrongListenAddressIsOneLineAndExitCodeTwo()
    {
        QFETCH(QString, address);
        const Run run({"--listen", address});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.contains("--listen"), qPrintable(run.err));
    }

    void aPortInUseIsOneLineAndExitCodeOne()
    {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        const Run run({"--listen", QStringLiteral("127.0.0.1:%1").arg(holder.serverPort())});
        QVERIFY(run.finished);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err,
                 QStringLiteral("tavo-projector-sim: cannot listen on 127.0.0.1:%1: the port is in use\n")
                     .arg(holder.serverPort()));
    }

    void aFreePortIsPrintedAndServedWithTheExchangeOnStderr()
    {
        QProcess process;
        process.start(QStringLiteral(TAVO_PROJECTOR_SIM), {"--listen", "127.0.0.1:0", "--verbose"});
        QVERIFY(process.waitForReadyRead(WaitMs));
        const QString endpoint = QString::fromLocal8Bit(process.readLine()).trimmed();
        const QRegularExpressionMatch match =
            QRegularExpression("^tcp://127\\.0\\.0\\.1:(\\d+)$").match(endpoint);
        QVERIFY2(match.hasMatch(), qPrintable(endpoint));
        const quint16 port = quint16(match.captured(1).toUInt());
        QVERIFY(port != 0);

        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client.waitForConnected(WaitMs));
        client.write("CR0\r");
        QByteArray reply;
        QVERIFY(QTest::qWaitFor([&] { return (reply += client.readAll()).size() >= 3; }, WaitMs));
        QCOMPARE(reply, QByteArray("80\r"));
        QByteArray log;
        QVERIFY(QTest::qWaitFor([&] { return (log += process.readAllStandardError()).contains("TX 8 0 CR"); },
                                WaitMs));
        QVERIFY2(QRegularExpression("\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d RX C R 0 CR  \\(operating state\\)\n")
                     .match(QString::fromLatin1(log))
                     .hasMatch(),
                 log.constData());
        process.terminate();
        QVERIFY(process.waitForFinished(WaitMs));
    }

    void countServesIndependentProjectorsOnePerEndpoint()
    {
        constexpr int Count = 3;
        QProcess process;
        process.start(QStringLiteral(TAVO_PROJECTOR_SIM), {"--listen", "127.0.0.1:0", "--count", "3"});
        QByteArray printed;
        QVERIFY(QTest::qWaitFor(
            [&] { return (printed += process.readAllStandardOutput()).count('\n') == Count; }, WaitMs));
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (const QByteArray &line : printed.trimmed().split('\n')) {
            const QRegularExpressionMatch match =
                QRegularExpression("^tcp://127\\.0\\.0\\.1:(\\d+)$").match(QString::fromLatin1(line));
            QVERIFY2(match.hasMatch(), line.constData());
            clients.push_back(std::make_unique<QTcpSocket>());
            clients.back()->connectToHost(QHostAddress::LocalHost, quint16(match.captured(1).toUInt()));
            QVERIFY(clients.back()->waitForConnected(WaitMs));
        }
        // Powering on the first leaves the others in standby: each has its own state.
        clients[0]->write("C00\r");
        for (auto &client : clients) {
            client->write("CR0\r");
            const QByteArray expected = client == clients[0] ? QByteArray("\x06\r40\r") : QByteArray("80\r");
            QByteArray reply;
            QVERIFY(QTest::qWaitFor([&] { return (reply += client->readAll()).size() >= expected.size(); },
                                    WaitMs));
            QCOMPARE(reply, expected);
        }
        process.terminate();
        QVERIFY(process.waitForFinished(WaitMs));
    }
};

QTEST_GUILESS_MAIN(TestProjectorSim)
#include "tst_projectorsim.moc"
