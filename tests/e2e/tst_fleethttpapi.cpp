#include "simulatorprocess.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int StartMs = 5000;
constexpr int SettleMs = 10000;
const QByteArray Token = "e2e-token-7f3a";

// A simulated projector on a free loopback port, telling each line it receives on stderr.
struct Simulator : SimulatorProcess
{
    Simulator() : SimulatorProcess(QStringLiteral(TAVO_PROJECTOR_SIM)) {}
};

// The real console watching the simulator as hall-a, serving HTTP on a free port it names on stderr.
struct Console : AnnouncedConsole
{
    Console(const QTemporaryDir &dir, const QString &endpoint, const QStringList &options)
        : AnnouncedConsole(QStringLiteral(TAVO_CONSOLE), dir.filePath("fleet"),
                           "hall-a " + endpoint.toLatin1() + '\n', QStringList{"--http", "0"} + options,
                           "metrics on http://127\\.0\\.0\\.1:(\\d+)/metrics")
    {
    }
};

struct Answer
{
    QByteArray head;
    QByteArray body;
    int status() const { return head.mid(9, 3).toInt(); }
    QJsonObject json() const { return QJsonDocument::fromJson(body).object(); }
};

// One request on a socket of its own, read until the server closes.
Answer request(quint16 port, const QByteArray &method, const QByteArray &path, const QByteArray &headers = {},
               const QByteArray &body = {})
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(StartMs))
        return {};
    socket.write(method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers +
                 "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(SettleMs))
        answer += socket.readAll();
    answer += socket.readAll();
    const qsizetype end = answer.indexOf("\r\n\r\n");
    return {answer.left(end), end < 0 ? QByteArray() : answer.mid(end + 4)};
}

QByteArray press(const QByteArray &token)
{
    return (token.isEmpty() ? QByteArray() : "Authorization: Bearer " + token + "\r\n") +
           "Content-Type: application/json\r\n";
}
} // namespace

// The control API of the real console, over real HTTP, against the real simulator.
class TestFleetHttpApi : public QObject
{
    Q_OBJECT

private slots:
    void showsPressesAndTellsEvents()
    {
        QTemporaryDir dir;
        QFile token(dir.filePath("token"));
        QVERIFY(token.open(QIODevice::WriteOnly));
        token.write(Token + '\n');
        token.close();
        QVERIFY(token.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        Simulator simulator;
        Console console(dir, simulator.endpoint, {"--http-token-file", token.fileName()});
        QVERIFY2(console.port != 0, console.err.constData());

        QTcpSocket events;
        events.connectToHost(QStringLiteral("127.0.0.1"), console.port);
        QVERIFY(events.waitForConnected(StartMs));
        events.write("GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        QByteArray told;
        QVERIFY(QTest::qWaitFor(
            [&] {
                told += events.readAll();
                return told.contains("text/event-stream");
            },
            SettleMs));

        QJsonObject hall;
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QJsonArray list =
                    request(console.port, "GET", "/api/projectors").json()["projectors"].toArray();
                hall = list.isEmpty() ? QJsonObject() : list[0].toObject();
                return hall["values"].toObject().contains("power_state");
            },
            SettleMs));
        QCOMPARE(hall["name"].toString(), "hall-a");
        QVERIFY(hall["group"].isNull());
        QCOMPARE(hall["connected"].toBool(), true);
        QCOMPARE(hall["power"].toString(), "standby");
        QCOMPARE(hall["values"].toObject()["lamp_hours"].toInt(), 1234);
        QVERIFY(hall["last_reply"].toString().endsWith('Z'));
        QCOMPARE(request(console.port, "GET", "/api/projectors/nobody").status(), 404);

        const Answer unsigned_ =
            request(console.port, "POST", "/api/projectors/hall-a/press/power_on", press({}));
        QCOMPARE(unsigned_.status(), 401);
        QVERIFY(unsigned_.head.contains("WWW-Authenticate: Bearer"));
        QCOMPARE(
            request(console.port, "POST", "/api/projectors/hall-a/press/power_on", press("wrong")).status(),
            401);
        QCOMPARE(request(console.port, "POST", "/api/projectors/hall-a/press/power_on", press(Token),
                         QByteArray(2048, 'x'))
                     .status(),
                 413);
        QVERIFY(!simulator.process.readAllStandardError().contains("RX C 0 0 CR"));

        const Answer pressed =
            request(console.port, "POST", "/api/projectors/hall-a/press/power_on", press(Token));
        QCOMPARE(pressed.status(), 200);
        QCOMPARE(pressed.json()["sent"].toString(), "C00");
        QCOMPARE(pressed.json()["answered"].toBool(), true);
        QVERIFY(QTest::qWaitFor(
            [&] { return simulator.process.readAllStandardError().contains("RX C 0 0 CR"); }, SettleMs));
        QVERIFY(QTest::qWaitFor(
            [&] {
                told += events.readAll();
                return told.contains(R"("event":"power")") && told.contains(R"("power":"warming")");
            },
            SettleMs));
        QVERIFY(told.contains(R"("event":"press")"));
        QVERIFY(told.contains(R"("from":"http 127.0.0.1")"));
        QVERIFY(told.contains(R"("outcome":"sent")"));

        // Power off while the projector warms is held, shown pending, and goes out once it is on.
        const Answer held =
            request(console.port, "POST", "/api/projectors/hall-a/press/power_off", press(Token));
        QCOMPARE(held.status(), 202);
        QCOMPARE(held.json()["pending"].toString(), "power_off");
        QCOMPARE(request(console.port, "GET", "/api/projectors/hall-a").json()["pending"].toString(),
                 "power_off");
        QVERIFY(!simulator.process.readAllStandardError().contains("RX C 0 1 CR"));
        QVERIFY(QTest::qWaitFor(
            [&] { return simulator.process.readAllStandardError().contains("RX C 0 1 CR"); }, 3 * SettleMs));
        QVERIFY(QTest::qWaitFor(
            [&] { return request(console.port, "GET", "/api/projectors/hall-a").json()["pending"].isNull(); },
            SettleMs));
        QVERIFY(!console.err.contains(Token) && !console.process.readAllStandardError().contains(Token));
    }

    // Without a token file every press is refused, saying how to allow them; a token file anyone may read is
    // refused at the start.
    void refusesPressesWithoutAToken()
    {
        QTemporaryDir dir;
        Simulator simulator;
        {
            Console console(dir, simulator.endpoint, {});
            QVERIFY2(console.port != 0, console.err.constData());
            const Answer refused =
                request(console.port, "POST", "/api/projectors/hall-a/press/power_on", press(Token));
            QCOMPARE(refused.status(), 403);
            QVERIFY(refused.json()["error"].toString().contains("--http-token-file"));
        }
        QFile token(dir.filePath("open-token"));
        QVERIFY(token.open(QIODevice::WriteOnly));
        token.write(Token + '\n');
        token.close();
        QVERIFY(
            token.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther));
        Console open(dir, simulator.endpoint, {"--http-token-file", token.fileName()});
        QTRY_COMPARE_WITH_TIMEOUT(open.process.state(), QProcess::NotRunning, StartMs);
        QCOMPARE(open.process.exitCode(), 2);
        const QByteArray err = open.err + open.process.readAllStandardError();
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.contains("may be read by other users"), err.constData());
    }
};

QTEST_GUILESS_MAIN(TestFleetHttpApi)
#include "tst_fleethttpapi.moc"
