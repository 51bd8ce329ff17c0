#include "simulatorprocess.h"

#include <memory>
#include <vector>

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int StartMs = 5000;
constexpr int SettleMs = 10000;
const QByteArray Password = "e2e-pjlink-5c1d";

// A simulated projector on a free loopback port that warms up for a while after power on, telling each
// line it receives on stderr.
struct Simulator : SimulatorProcess
{
    QByteArray told;

    Simulator() : SimulatorProcess(QStringLiteral(TAVO_PROJECTOR_SIM), {"--warm-up", "4000"}) {}
    qsizetype received(const QByteArray &trace)
    {
        told += process.readAllStandardError();
        return told.count(trace);
    }
};

// The real console watching the simulator as hall-a, its PJLink server on a free port it names on stderr.
struct Console : AnnouncedConsole
{
    Console(const QTemporaryDir &dir, const QString &endpoint, const QStringList &options)
        : AnnouncedConsole(QStringLiteral(TAVO_CONSOLE), dir.filePath("fleet"),
                           "hall-a " + endpoint.toLatin1() + " pjlink=127.0.0.1:0\n", options,
                           "PJLink for hall-a on 127\\.0\\.0\\.1:(\\d+)")
    {
    }
};

// A PJLink client: one line out, one answer back.
struct Client
{
    QTcpSocket socket;
    QByteArray greeting;

    explicit Client(quint16 port)
    {
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (socket.waitForConnected(StartMs))
            greeting = line();
    }
    QByteArray line()
    {
        while (!socket.canReadLine() && socket.bytesAvailable() < 256 && socket.waitForReadyRead(SettleMs)) {
            if (socket.peek(256).contains('\r'))
                break;
        }
        const QByteArray buffered = socket.peek(256);
        return socket.read(buffered.indexOf('\r') + 1);
    }
    QByteArray ask(const QByteArray &text)
    {
        socket.write(text + '\r');
        return line();
    }
};
} // namespace

// The projectors' PJLink servers of the real console, over TCP, against the real simulator.
class TestPjlinkFleet : public QObject
{
    Q_OBJECT

private slots:
    void powersThroughTheHeldPressRule()
    {
        QTemporaryDir dir;
        Simulator simulator;
        Console console(dir, simulator.endpoint, {});
        QVERIFY2(console.port != 0, console.err.constData());
        Client client(console.port);
        QCOMPARE(client.greeting, "PJLINK 0\r");
        QVERIFY(QTest::qWaitFor([&] { return client.ask("%1POWR ?") == "%1POWR=0\r"; }, SettleMs));
        QCOMPARE(client.ask("%1NAME ?"), "%1NAME=hall-a\r");

        QCOMPARE(client.ask("%1POWR 1"), "%1POWR=OK\r");
        QVERIFY(QTest::qWaitFor([&] { return simulator.received("RX C 0 0 CR") == 1; }, SettleMs));
        QVERIFY(QTest::qWaitFor([&] { return client.ask("%1POWR ?") == "%1POWR=3\r"; }, SettleMs));
        // Off while warming is held, and goes out once, when the projector is on.
        QCOMPARE(client.ask("%1POWR 0"), "%1POWR=ERR3\r");
        QCOMPARE(simulator.received("RX C 0 1 CR"), 0);
        QVERIFY(QTest::qWaitFor([&] { return simulator.received("RX C 0 1 CR") == 1; }, 2 * SettleMs));
        QVERIFY(QTest::qWaitFor([&] { return client.ask("%1POWR ?") == "%1POWR=0\r"; }, 2 * SettleMs));
        QCOMPARE(simulator.received("RX C 0 1 CR"), 1);
        QCOMPARE(client.ask("%1XXXX ?"), "%1XXXX=ERR1\r");
        // Sixteen clients at once; one more is closed before it is greeted.
        std::vector<std::unique_ptr<Client>> others;
        for (int i = 1; i < 16; ++i) {
            others.push_back(std::make_unique<Client>(console.port));
            QCOMPARE(others.back()->greeting, "PJLINK 0\r");
        }
        Client extra(console.port);
        QCOMPARE(extra.greeting, "");
        QVERIFY(extra.socket.state() == QAbstractSocket::UnconnectedState ||
                extra.socket.waitForDisconnected(StartMs));
        // Recorded as every press is, with where it came from.
        QVERIFY(QTest::qWaitFor(
            [&] {
                return (console.err += console.process.readAllStandardError())
                    .contains("C00 from pjlink 127.0.0.1");
            },
            SettleMs));
    }

    void takesOnlyTheRightDigest()
    {
        QTemporaryDir dir;
        QFile password(dir.filePath("password"));
        QVERIFY(password.open(QIODevice::WriteOnly));
        password.write(Password + '\n');
        password.close();
        QVERIFY(password.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        Simulator simulator;
        Console console(dir, simulator.endpoint, {"--pjlink-password-file", password.fileName()});
        QVERIFY2(console.port != 0, console.err.constData());

        Client wrong(console.port);
        QVERIFY(wrong.greeting.startsWith("PJLINK 1 "));
        QCOMPARE(wrong.ask(QByteArray(32, '0') + "%1POWR 1"), "PJLINK ERRA\r");
        QVERIFY(wrong.socket.state() == QAbstractSocket::UnconnectedState ||
                wrong.socket.waitForDisconnected(StartMs));

        Client right(console.port);
        const QByteArray random = right.greeting.mid(9, 8);
        const QByteArray digest =
            QCryptographicHash::hash(random + Password, QCryptographicHash::Md5).toHex();
        QCOMPARE(right.ask(digest + "%1CLSS ?"), "%1CLSS=1\r");
        QCOMPARE(right.ask("%1INF1 ?"), "%1INF1=tavo\r");
        QCOMPARE(simulator.received("RX C 0 0 CR"), 0);
    }
};

QTEST_GUILESS_MAIN(TestPjlinkFleet)
#include "tst_pjlinkfleet.moc"
