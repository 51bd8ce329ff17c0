#include "httpget.h"
#include "metrics/fleetmetrics.h"
#include "qt/http/httplistener.h"
#include "qt/metrics/metricsserver.h"
#include "qt/metrics/prometheussink.h"

#include <memory>
#include <vector>

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace std::chrono_literals;

namespace {
constexpr int WaitMs = 10000;

Exchange exchange(const std::string &query, const std::string &bytes)
{
    Reply reply;
    reply.add(bytes);
    return describeExchange(query, reply, 20ms);
}

// A fleet of two whose metrics are served: hall-a answered a whole round (its status line hostile),
// hall-b never did.
struct Served
{
    Served()
    {
        metrics.projectorAdded({"hall-a", parseEndpoint("tcp://127.0.0.1:4001"), "19200,N,8,1", {}});
        metrics.projectorAdded({"hall-b", parseEndpoint("/dev/ttyUSB0"), "9600,N,8,1", {}});
        metrics.lineChanged("hall-a", true, "");
        const std::pair<std::string, std::string> round[] = {
            {"CR0", "00\r"},
            {"CR1", "1\r"},
            {"CR3", "01234\r"},
            {"CR4", "11\r"},
            {"CR6", "038.5 041.0 036.0\r"},
            {"CR7", "03\r"},
            {"CR9", "PWR \"ON\" \\ \x01\xfe\r"},
            {"CRA", "00\r"},
            {"CR PRESSURE", "853\r"},
        };
        for (const auto &[query, bytes] : round)
            metrics.exchanged("hall-a", exchange(query, bytes), true);
        metrics.roundEnded("hall-a", true);
    }
    // The answer once the event loop has rendered what changed.
    HttpAnswer get(const QByteArray &path)
    {
        QCoreApplication::processEvents();
        return httpGet(server.port(), path);
    }
    PrometheusSink sink;
    FleetMetrics metrics{sink};
    MetricsServer server{parseHttpAddress("0"), sink};
};

// What the server sends back to these bytes, until it closes.
QByteArray rawAnswer(std::uint16_t port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(WaitMs))
        return {};
    socket.write(request);
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(WaitMs))
        answer += socket.readAll();
    return answer + socket.readAll();
}
} // namespace

Q_DECLARE_METATYPE(std::string)

// The metrics endpoint on its real HTTP server: what it serves, where, and under hostile clients.
class TestMetricsServer : public QObject
{
    Q_OBJECT

private slots:
    void theAddressIsLoopbackUnlessAHostIsGiven_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::string>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("port alone") << "9877" << std::string("127.0.0.1") << 9877;
        QTest::newRow("every address") << "0.0.0.0:9877" << std::string("0.0.0.0") << 9877;
        QTest::newRow("localhost") << "localhost:80" << std::string("127.0.0.1") << 80;
        QTest::newRow("IPv6") << "[::1]:9877" << std::string("::1") << 9877;
        QTest::newRow("port 0 takes a free one") << "0" << std::string("127.0.0.1") << 0;
    }
    void theAddressIsLoopbackUnlessAHostIsGiven()
    {
        QFETCH(QString, text);
        QFETCH(std::string, host);
        QFETCH(int, port);
        const HostPort address = parseHttpAddress(text.toStdString());
        QCOMPARE(address.host, host);
        QCOMPARE(int(address.port), port);
    }

    void aWrongAddressIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("past the last port") << "65536";
        QTest::newRow("a host name") << "metrics.example:9877";
        QTest::newRow("no port") << "127.0.0.1";
        QTest::newRow("a sign") << "+9877";
    }
    void aWrongAddressIsRefused()
    {
        QFETCH(QString, text);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, parseHttpAddress(text.toStdString()));
    }

    void anAddressThatCannotBeBoundIsOneLine_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("refusal"); // empty: it binds and serves
        QTest::addColumn<QString>("reach");   // where a client reaches it, and the URL's host
        QTest::addColumn<QString>("urlHost");
        QTest::newRow("a port in use") << "127.0.0.1:HELD"
                                       << "the port is in use"
                                       << ""
                                       << "";
        QTest::newRow("an address not this machine's") << "192.0.2.1:0"
                                                       << "the address is not this machine's"
                                                       << ""
                                                       << "";
        QTest::newRow("IPv6 loopback") << "[::1]:0"
                                       << ""
                                       << "::1"
                                       << "[::1]";
        QTest::newRow("every IPv6 address takes IPv4 too") << "[::]:0"
                                                           << ""
                                                           << "127.0.0.1"
                                                           << "[::]";
        QTest::newRow("every IPv4 address") << "0.0.0.0:0"
                                            << ""
                                            << "127.0.0.1"
                                            << "0.0.0.0";
    }
    void anAddressThatCannotBeBoundIsOneLine()
    {
        QFETCH(QString, address);
        QFETCH(QString, refusal);
        QFETCH(QString, reach);
        QFETCH(QString, urlHost);
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        address.replace("HELD", QString::number(holder.serverPort()));
        if (address.startsWith("[") && !QTcpServer().listen(QHostAddress::LocalHostIPv6, 0))
            QSKIP("this machine has no IPv6 loopback");
        PrometheusSink sink;
        try {
            MetricsServer server(parseHttpAddress(address.toStdString()), sink);
            QVERIFY2(refusal.isEmpty(), "served where it cannot");
            QCOMPARE(QString::fromStdString(server.url()),
                     QStringLiteral("http://%1:%2/metrics").arg(urlHost).arg(server.port()));
            const HttpAnswer scrape = httpGet(server.port(), "/metrics", QHostAddress(reach));
            QCOMPARE(scrape.statusLine, QByteArray("HTTP/1.1 200 OK"));
        } catch (const std::runtime_error &error) {
            QCOMPARE(QString(error.what()), "cannot serve HTTP on " + address + ": " + refusal);
        }
    }

    void servesTheMetricsAndNothingElse_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("status");
        QTest::newRow("metrics") << QByteArray("/metrics") << QByteArray("HTTP/1.1 200 OK");
        QTest::newRow("the root") << QByteArray("/") << QByteArray("HTTP/1.1 404 Not Found");
        QTest::newRow("a name beginning alike")
            << QByteArray("/metricsx") << QByteArray("HTTP/1.1 404 Not Found");
        QTest::newRow("a path below") << QByteArray("/metrics/a") << QByteArray("HTTP/1.1 404 Not Found");
        QTest::newRow("a query") << QByteArray("/metrics?x=1") << QByteArray("HTTP/1.1 200 OK");
        QTest::newRow("a file") << QByteArray("/etc/passwd") << QByteArray("HTTP/1.1 404 Not Found");
    }
    void servesTheMetricsAndNothingElse()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, status);
        Served served;
        QCOMPARE(served.server.url(),
                 "http://127.0.0.1:" + std::to_string(served.server.port()) + "/metrics");
        const HttpAnswer scrape = served.get(path);
        QCOMPARE(scrape.statusLine, status);
        if (!path.startsWith("/metrics?") && path != "/metrics")
            return;
        const QByteArray body = scrape.body;
        QVERIFY2(body.contains("\ntavo_projector_up{projector=\"hall-a\"} 1\n"), body.constData());
        QVERIFY(body.contains("\ntavo_projector_up{projector=\"hall-b\"} 0\n"));
        QVERIFY(body.contains("\ntavo_projector_lamp_time_seconds{projector=\"hall-a\"} 4442400\n"));
        QVERIFY(body.contains("tavo_projector_status_line_info{projector=\"hall-a\",text=\"PWR \\\"ON\\\" "
                              "\\\\ \\\\x01\\\\xFE\"} 1"));
        // hall-b never answered: no value series, not zeros that look like readings.
        QVERIFY(!body.contains("tavo_projector_power_state{projector=\"hall-b\""));
    }

    // A new value replaces its info series in the scrape, not beside the old one.
    void aNewValueReplacesItsInfoSeries()
    {
        Served served;
        served.metrics.exchanged("hall-a", exchange("CR1", "3\r"), true);
        const QByteArray body = served.get("/metrics").body;
        QVERIFY2(body.contains("input=\"video\""), body.constData());
        QVERIFY2(!body.contains("input=\"computer_1\""), body.constData());
    }

    void garbageAndSlowClientsHoldNoScrape()
    {
        Served served;
        QTcpSocket garbage;
        garbage.connectToHost(QHostAddress::LocalHost, served.server.port());
        QVERIFY(garbage.waitForConnected(WaitMs));
        garbage.write(QByteArray(64 * 1024, '\x7f'));
        QTcpSocket slow;
        slow.connectToHost(QHostAddress::LocalHost, served.server.port());
        QVERIFY(slow.waitForConnected(WaitMs));
        slow.write("GET /metr");
        slow.flush();
        const HttpAnswer scrape = httpGet(served.server.port(), "/metrics");
        QCOMPARE(scrape.statusLine, QByteArray("HTTP/1.1 200 OK"));
        QVERIFY2(scrape.elapsedMs < std::chrono::milliseconds(HttpServer::IdleTimeout).count(),
                 qPrintable(QString::number(scrape.elapsedMs)));
    }

    void answersByMethodAndBody_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("status");
        const QByteArray head = " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
        QTest::newRow("HEAD") << "HEAD /metrics" + head + "\r\n" << QByteArray("HTTP/1.1 200 OK");
        QTest::newRow("POST") << "POST /metrics" + head + "Content-Length: 0\r\n\r\n"
                              << QByteArray("HTTP/1.1 405 Method Not Allowed");
        QTest::newRow("a body over the limit") << "GET /metrics" + head + "Content-Length: 100000\r\n\r\n"
                                               << QByteArray("HTTP/1.1 413 Content Too Large");
        QTest::newRow("a body of no declared length")
            << "GET /metrics" + head + "Transfer-Encoding: chunked\r\n\r\n800\r\n" + QByteArray(2048, 'x') +
                   "\r\n"
            << QByteArray("HTTP/1.1 411 Length Required");
        QTest::newRow("a short body")
            << "GET /metrics" + head + "Content-Length: 3\r\n\r\nabc" << QByteArray("HTTP/1.1 200 OK");
    }
    void answersByMethodAndBody()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, status);
        Served served;
        const QByteArray answer = rawAnswer(served.server.port(), request);
        QCOMPARE(answer.left(answer.indexOf("\r\n")), status);
        if (request.startsWith("HEAD"))
            QVERIFY2(answer.endsWith("\r\n\r\n"), answer.constData());
    }

    // Idle connections up to the limit of one address leave another address its scrape.
    void idleConnectionsOfOneAddressLeaveAnotherItsScrape()
    {
        Served served;
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (std::size_t i = 0; i <= HttpServer::ConnectionsPerAddressLimit; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            idle.back()->connectToHost(QHostAddress::LocalHost, served.server.port());
            QVERIFY(idle.back()->waitForConnected(WaitMs));
            idle.back()->write("GET /metrics HTTP/1.1\r\n");
            idle.back()->flush();
        }
        // The one past the limit is closed at once.
        QVERIFY(idle.back()->waitForDisconnected(WaitMs));
        QCoreApplication::processEvents();
        const HttpAnswer scrape =
            httpGet(served.server.port(), "/metrics", QHostAddress(QHostAddress::LocalHost),
                    QHostAddress(QStringLiteral("127.0.0.2")));
        QCOMPARE(scrape.statusLine, QByteArray("HTTP/1.1 200 OK"));
        QVERIFY(scrape.body.contains("\ntavo_projector_up{projector=\"hall-a\"} 1\n"));
        idle.pop_back();
        for (const std::unique_ptr<QTcpSocket> &socket : idle)
            QCOMPARE(socket->state(), QAbstractSocket::ConnectedState);
    }

    void promtoolFindsNothingInAScrape()
    {
        const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
        if (promtool.isEmpty())
            QSKIP("promtool is not installed (apt-get install prometheus)");
        Served served;
        const HttpAnswer scrape = served.get("/metrics");
        QProcess check;
        check.start(promtool, {"check", "metrics"});
        check.write(scrape.body);
        check.closeWriteChannel();
        QVERIFY(check.waitForFinished(WaitMs));
        const QByteArray findings = check.readAllStandardOutput() + check.readAllStandardError();
        QVERIFY2(findings.isEmpty(), findings.constData());
        QCOMPARE(check.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMetricsServer)
#include "tst_metricsserver.moc"
