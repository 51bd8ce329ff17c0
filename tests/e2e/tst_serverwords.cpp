#include "consoleprocess.h"
#include "pty.h"
#include "ser2net.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {
const QString Console = QStringLiteral(TAVO_CONSOLE);
constexpr int PeerWaitMs = 5000;
} // namespace

// What a server says is told as its words, never taken for the projector's reply, and what the projector
// answers is never taken for the server's words.
class TestServerWords : public QObject
{
    Q_OBJECT

private slots:
    // ser2net refuses a second client while the first is served (no kickolduser): it says "Port already
    // in use" and closes. Every command-line mode fails with its words, and nothing is answered.
    void aRefusingServerIsToldInItsWords_data()
    {
        QTest::addColumn<QStringList>("mode");
        QTest::newRow("--send") << QStringList{"--send", "CR0"};
        QTest::newRow("--script") << QStringList{"--script", "/dev/null"};
        QTest::newRow("--watch") << QStringList{"--watch", "1", "--query", "CR0"};
    }
    void aRefusingServerIsToldInItsWords()
    {
        QFETCH(QStringList, mode);
        SKIP_WITHOUT_SER2NET();
        Pty pty;
        Ser2net server(pty.slavePath(), false);
        QVERIFY2(server.start(), qPrintable(server.output()));
        QTcpSocket first;
        first.connectToHost(QStringLiteral("127.0.0.1"), server.tcpPort());
        QVERIFY(first.waitForConnected(PeerWaitMs));
        // The first client's session stands once bytes from the device reach it.
        pty.write("x");
        QTRY_VERIFY_WITH_TIMEOUT(first.bytesAvailable() > 0, PeerWaitMs);
        const QString endpoint = QStringLiteral("tcp://127.0.0.1:%1").arg(server.tcpPort());
        const Outcome outcome = runConsole(Console, QStringList{"--com1", endpoint, "--json"} + mode);
        QCOMPARE(outcome.exitCode, 3);
        const QByteArray told =
            "COM1 (" + endpoint.toUtf8() + "): the server closed the connection (Port already in use)";
        QVERIFY2(outcome.err.startsWith("tavo-console: " + told), outcome.err.constData());
        QCOMPARE(outcome.err.count('\n'), 1);
        const QJsonObject failure = QJsonDocument::fromJson(outcome.out).object();
        QVERIFY2(failure.value("error").toString().startsWith(QString::fromUtf8(told)),
                 outcome.out.constData());
        QCOMPARE(failure.value("exit").toInt(), 3);
        QCOMPARE(pty.readAvailable(), std::string());
    }

    // A projector's reply followed by the server's close is a reply, and the close names no words.
    void aReplyBeforeACloseIsNoServersWords()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        connect(&server, &QTcpServer::newConnection, &server, [&server] {
            QTcpSocket *client = server.nextPendingConnection();
            connect(client, &QTcpSocket::readyRead, client, [client] {
                if (client->readAll().contains('\r')) {
                    client->write("80\r");
                    client->disconnectFromHost();
                }
            });
        });
        const QString endpoint = QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
        const Outcome outcome = runConsole(Console, {"--com1", endpoint, "--send", "CR0", "--send", "CR1"});
        QCOMPARE(outcome.exitCode, 3);
        QVERIFY2(outcome.out.startsWith("\"CR0\" \" 8 0 CR \" \" Stand by\"\n"), outcome.out.constData());
        QVERIFY2(outcome.err.startsWith("tavo-console: COM1 (" + endpoint.toUtf8() +
                                        "): the server closed the connection ("
                                        "error"),
                 outcome.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestServerWords)
#include "tst_serverwords.moc"
