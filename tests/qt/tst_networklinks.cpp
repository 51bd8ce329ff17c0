#include "loopbacklistener.h"
#include "pty.h"
#include "qt/links/rfc2217link.h"
#include "qt/links/tcplink.h"
#include "ser2net.h"

#include <memory>

#include <QElapsedTimer>
#include <QTest>

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

SerialError openingFails(ByteLink &link)
{
    try {
        link.open(Line19200);
    } catch (const SerialError &error) {
        return error;
    }
    return SerialError(SerialError::Number(0), "opened");
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

    void aServerThatNeverAnswersIsGivenUp()
    {
        LoopbackListener listener;
        listener.fillAcceptQueue();
        Rfc2217Link link(Loopback, listener.port());
        QElapsedTimer waited;
        waited.start();
        const SerialError error = openingFails(link);
        QCOMPARE(error.description(), "no answer from " + Loopback);
        QVERIFY(!link.isOpen());
        QVERIFY2(waited.elapsed() < 2 * TcpLink::ConnectWait.count(),
                 qPrintable(QString::number(waited.elapsed())));
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
