#include "link/loggedlink.h"
#include "loopbacklistener.h"
#include "pty.h"
#include "qt/links/logfile.h"
#include "qt/links/rfc2217link.h"
#include "qt/links/tcplink.h"
#include "ser2net.h"

#include <fstream>
#include <memory>
#include <optional>

Q_DECLARE_METATYPE(std::string)

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
constexpr std::size_t ChunkBytes = 16 * 1024;
// Far more than the kernel's buffers and the link's queue hold together: the bound must be met first.
constexpr int ChunkAttempts = 2000;
constexpr std::chrono::milliseconds Quiet{300};
const LineSettings Line19200{19200, 'N', 8, 1};
const std::string Loopback = "127.0.0.1";

std::string allBytes()
{
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(char(value));
    return bytes;
}

// The failure an open tells, at once or once the server has had its time.
SerialError openingFails(ByteLink &link)
{
    std::optional<SerialError> failure;
    link.setOnOpenFailed([&](const SerialError &error) { failure = error; });
    try {
        link.open(Line19200);
    } catch (const SerialError &error) {
        return error;
    }
    if (!QTest::qWaitFor([&] { return failure.has_value(); }, int(2 * TcpLink::ConnectWait.count())))
        return SerialError(SerialError::Number(0), link.isOpen() ? "opened" : "closed, nothing told");
    return *failure;
}

// ser2net in front of a pseudo-terminal, and a link of either kind to it.
struct Ser2netLine
{
    explicit Ser2netLine(bool rfc2217)
    {
        started = server.start();
        if (rfc2217)
            link = std::make_unique<Rfc2217Link>(Loopback, server.rfc2217Port());
        else
            link = std::make_unique<TcpLink>(Loopback, server.tcpPort());
        link->setOnArrived([this] { received += link->readAll(); });
    }

    Pty pty;
    Ser2net server{pty.slavePath()};
    bool started = false;
    std::unique_ptr<TcpLink> link;
    std::string received;
};

} // namespace

// The network links against real peers: ser2net in front of a pseudo-terminal, and loopback sockets that
// refuse, never answer or never read.
class TestNetworkLinks : public QObject
{
    Q_OBJECT

private slots:
    void exactBytesBothWays_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::newRow("rfc2217") << true;
        QTest::newRow("tcp") << false;
    }

    void exactBytesBothWays()
    {
        QFETCH(bool, rfc2217);
        SKIP_WITHOUT_SER2NET();
        Ser2netLine line(rfc2217);
        QVERIFY2(line.started, qPrintable(line.server.output()));
        line.link->open(Line19200);
        QVERIFY(line.link->isOpen());
        line.link->write("C00\r");
        QCOMPARE(line.pty.read(4), std::string("C00\r"));
        line.link->write(allBytes());
        QCOMPARE(line.pty.read(256), allBytes());
        const std::string reply = "00\r" + allBytes() + "\xff\r";
        line.pty.write(reply);
        QTRY_COMPARE(line.received.size(), reply.size());
        QCOMPARE(line.received, reply);
        QCOMPARE(line.link->bytesWaiting(), std::size_t(0));
    }

    void aRefusedPortSaysSoAtOnce()
    {
        TcpLink link(Loopback, freeLoopbackPort());
        const SerialError error = openingFails(link);
        QCOMPARE(error.description(), std::string("connection refused"));
        QVERIFY(!link.isOpen());
    }

    // A server whose accept queue is full never answers: open() returns at once, the event loop runs while
    // the link waits, and the wait ends in the same words as before.
    void aServerThatNeverAnswersIsGivenUp()
    {
        LoopbackListener listener;
        listener.fillAcceptQueue();
        Rfc2217Link link(Loopback, listener.port());
        int ticks = 0;
        QTimer ticking;
        QObject::connect(&ticking, &QTimer::timeout, [&] { ++ticks; });
        ticking.start(std::chrono::milliseconds(100));
        QElapsedTimer waited;
        waited.start();
        link.open(Line19200);
        QVERIFY(waited.elapsed() < 100);
        QVERIFY(link.isOpen() && link.connecting());
        const SerialError error = openingFails(link);
        QCOMPARE(error.number(), SerialError::OpenFailed);
        QCOMPARE(error.description(), "no answer from " + Loopback);
        QVERIFY(!link.isOpen() && !link.connecting());
        QVERIFY2(waited.elapsed() >= TcpLink::ConnectWait.count() &&
                     waited.elapsed() < 2 * TcpLink::ConnectWait.count(),
                 qPrintable(QString::number(waited.elapsed())));
        QVERIFY2(ticks >= 20, qPrintable(QString::number(ticks)));
    }

    // What is written while connecting goes out in order once the server answers, each told as sent then.
    void writesWhileConnectingGoOutOnceConnected_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::newRow("tcp") << false;
        QTest::newRow("rfc2217") << true;
    }
    void writesWhileConnectingGoOutOnceConnected()
    {
        QFETCH(bool, rfc2217);
        LoopbackListener listener;
        std::unique_ptr<TcpLink> link = rfc2217 ? std::make_unique<Rfc2217Link>(Loopback, listener.port())
                                                : std::make_unique<TcpLink>(Loopback, listener.port());
        std::vector<std::string> sent;
        link->setOnSent([&](const std::string &bytes) { sent.push_back(bytes); });
        bool opened = false;
        link->setOnOpened([&] { opened = true; });
        link->open(Line19200);
        link->write("C00\r");
        link->write("CR0\r");
        QCOMPARE(link->bytesWaiting(), std::size_t(8));
        QVERIFY(sent.empty());
        QVERIFY(listener.accept(std::chrono::seconds(2)));
        QTRY_VERIFY(opened);
        std::string arrived;
        QTRY_VERIFY_WITH_TIMEOUT((arrived += listener.readAvailable()).find("C00\rCR0\r") !=
                                     std::string::npos,
                                 int(2 * Rfc2217Link::SettingsWait.count()));
        QCOMPARE(sent, (std::vector<std::string>{"C00\r", "CR0\r"}));
        // Over raw TCP, nothing but the operator's bytes.
        QVERIFY(rfc2217 || arrived == "C00\rCR0\r");
    }

    // The traffic log's TX line is written when the bytes go on the line: over RFC 2217 to a server that
    // says nothing, after the settings wait has ended in its notice, not when the command was written.
    void aTxLineIsStampedWhenTheBytesGoOut()
    {
        QTemporaryDir dir;
        const std::string path = dir.filePath("traffic.log").toStdString();
        TrafficLog log(openLogFile(path), path);
        LoopbackListener listener;
        LoggedLink link(std::make_unique<Rfc2217Link>(Loopback, listener.port()), log, "COM1");
        std::string notice;
        link.setOnNotice([&](const std::string &text) { notice = text; });
        link.open(Line19200);
        link.write("CR0\r");
        QVERIFY(listener.accept(std::chrono::seconds(2)));
        QTRY_VERIFY_WITH_TIMEOUT(!notice.empty(), int(2 * Rfc2217Link::SettingsWait.count()));
        QCOMPARE(notice,
                 "the server does not speak telnet; use tcp://127.0.0.1:" + std::to_string(listener.port()));
        QCOMPARE(log.close(), std::size_t(0));
        std::ifstream file(path);
        QStringList events;
        for (std::string line; std::getline(file, line);)
            events << QString::fromStdString(line).section(' ', 1, 1);
        QCOMPARE(events, (QStringList{"OPEN", "NOTE", "TX"}));
    }

    // Links opened together connect together: one server that never answers delays none of the others.
    void manyLinksOpenAtOnce()
    {
        constexpr int Count = 50;
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        server.setMaxPendingConnections(Count);
        LoopbackListener blackHole;
        blackHole.fillAcceptQueue();
        TcpLink unanswered(Loopback, blackHole.port());
        unanswered.open(Line19200);
        std::vector<std::unique_ptr<TcpLink>> links;
        int opened = 0;
        QElapsedTimer waited;
        waited.start();
        for (int i = 0; i < Count; ++i) {
            links.push_back(std::make_unique<TcpLink>(Loopback, server.serverPort()));
            links.back()->setOnOpened([&] { ++opened; });
            links.back()->open(Line19200);
        }
        QTRY_COMPARE(opened, Count);
        QVERIFY2(waited.elapsed() < TcpLink::ConnectWait.count() / 3,
                 qPrintable(QString::number(waited.elapsed())));
        QVERIFY(unanswered.connecting());
    }

    // A raw server's first bytes: 255 and a telnet opening is telnet, told however the two came; 255 and
    // anything else is data (line noise at a projector's power-up), never taken for telnet.
    void aRawServersFirstBytes_data()
    {
        QTest::addColumn<std::string>("first");
        QTest::addColumn<std::string>("then");
        QTest::addColumn<bool>("telnet");
        const std::string iac(1, char(0xFF));
        QTest::newRow("255 NUL") << iac + std::string(1, '\0') << std::string("80\r") << false;
        QTest::newRow("255 CR") << iac + "\r" << std::string() << false;
        QTest::newRow("255 digit") << iac + "0" << std::string("0\r") << false;
        QTest::newRow("255 letter") << iac + "A" << std::string() << false;
        QTest::newRow("255 DEL") << iac + "\x7f" << std::string() << false;
        QTest::newRow("255 128") << iac + "\x80" << std::string() << false;
        QTest::newRow("255 249") << iac + "\xf9" << std::string() << false;
        QTest::newRow("255 255, an escaped 255") << iac + iac << std::string() << false;
        QTest::newRow("255 alone, nothing after") << iac << std::string() << false;
        QTest::newRow("255 alone, then a reply") << iac << std::string("80\r") << false;
        QTest::newRow("IAC WILL") << iac + "\xfb\x03" << std::string() << true;
        QTest::newRow("IAC SB") << iac + "\xfa" << std::string() << true;
        QTest::newRow("IAC DONT") << iac + "\xfe\x01" << std::string() << true;
        QTest::newRow("IAC, then DO in a second piece") << iac << std::string("\xfd\x18") << true;
    }
    void aRawServersFirstBytes()
    {
        QFETCH(std::string, first);
        QFETCH(std::string, then);
        QFETCH(bool, telnet);
        LoopbackListener listener;
        TcpLink link(Loopback, listener.port());
        std::string received;
        std::string lost;
        link.setOnArrived([&] { received += link.readAll(); });
        link.setOnLost([&](const SerialError &error) { lost = error.description(); });
        link.open(Line19200);
        QVERIFY(listener.accept(std::chrono::seconds(2)));
        QTRY_VERIFY(!link.connecting());
        QCOMPARE(listener.send(first), first.size());
        if (!then.empty()) {
            // Read by the link on its own first, when it is a piece of its own.
            QTest::qWait(int(TcpLink::TelnetOpeningWait.count() / 5));
            QCOMPARE(listener.send(then), then.size());
        }
        if (telnet) {
            QTRY_VERIFY(!lost.empty());
            QCOMPARE(lost,
                     "the server speaks telnet; use rfc2217://127.0.0.1:" + std::to_string(listener.port()));
            QCOMPARE(received, std::string());
            return;
        }
        QTRY_COMPARE(received, first + then);
        QVERIFY(lost.empty() && link.isOpen());
    }

    void aFullQueueRefusesAWriteWholeAndKeepsTheLinkOpen()
    {
        LoopbackListener listener;
        TcpLink link(Loopback, listener.port());
        link.open(Line19200);
        QVERIFY(listener.accept(std::chrono::seconds(2)));
        std::string expected;
        QString refusal;
        for (int chunk = 0; chunk < ChunkAttempts && refusal.isEmpty(); ++chunk) {
            const std::string bytes(ChunkBytes, char('a' + chunk % 26));
            try {
                link.write(bytes);
                expected += bytes;
            } catch (const SerialError &error) {
                QCOMPARE(error.number(), SerialError::LineBusy);
                QCOMPARE(error.description(), "the line is not taking data (" +
                                                  std::to_string(link.bytesWaiting()) + " bytes waiting)");
                refusal = QString::fromStdString(error.description());
            }
            QCoreApplication::processEvents();
        }
        QVERIFY2(!refusal.isEmpty(), "the queue was never full");
        qInfo("full after %zu bytes: %s", expected.size(), qPrintable(refusal));
        QVERIFY(link.isOpen());
        QVERIFY(link.bytesWaiting() <= ByteLink::WriteQueueLimit);
        // Draining it as the far end reads again: whole chunks, in order, and none of the refused one.
        std::string arrived;
        QTRY_VERIFY((arrived += listener.readUntilQuiet(std::chrono::milliseconds(10))).size() >=
                    expected.size());
        arrived += listener.readUntilQuiet(Quiet);
        QCOMPARE(arrived.size(), expected.size());
        QVERIFY(arrived == expected);
        link.write("C00\r");
        std::string after;
        QTRY_COMPARE(after += listener.readUntilQuiet(std::chrono::milliseconds(10)), std::string("C00\r"));
    }
};

QTEST_GUILESS_MAIN(TestNetworkLinks)
#include "tst_networklinks.moc"
