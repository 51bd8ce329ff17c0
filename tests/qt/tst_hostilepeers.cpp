#include "loopbacklistener.h"
#include "pty.h"
#include "qt/links/rfc2217link.h"
#include "ser2net.h"

#include <memory>

#include <QTest>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::string)

namespace {
constexpr int Wait = 5000; // ms
constexpr unsigned char Iac = 255, Sb = 250, Will = 251, Wont = 252, Do = 253, Dont = 254;
constexpr unsigned char Binary = 0, SuppressGoAhead = 3, Status = 5, TerminalType = 24, ComPort = 44;
const LineSettings Line19200{19200, 'N', 8, 1};

std::string bytes(std::initializer_list<unsigned char> values)
{
    return std::string(values.begin(), values.end());
}

std::string repeated(const std::string &piece, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += piece;
    return out;
}

// A scripted server on 127.0.0.1 and a link of either kind to it, with all the link told.
struct Peer
{
    explicit Peer(bool rfc2217)
    {
        if (rfc2217)
            link = std::make_unique<Rfc2217Link>("127.0.0.1", server.port());
        else
            link = std::make_unique<TcpLink>("127.0.0.1", server.port());
        link->setOnArrived([this] { received += link->readAll(); });
        link->setOnLost([this](const SerialError &error) { losses.push_back(error.description()); });
        link->setOnNotice([this](const std::string &text) { notices.push_back(text); });
        link->open(Line19200);
        // Open past the server's first words, so that what it sends from now on is its answer to the link.
        accepted = server.accept(std::chrono::milliseconds(Wait)) &&
                   QTest::qWaitFor([this] { return !link->connecting(); }, Wait);
    }

    // What the console sends, letting it run, until it has sent `expected`.
    bool serverReads(const std::string &expected)
    {
        return QTest::qWaitFor(
            [&] { return (fromConsole += server.readAvailable()).find(expected) != std::string::npos; },
            Wait);
    }
    // Sends every byte, letting the console run while the kernel's buffers are full.
    bool serverSends(std::string_view wire)
    {
        return QTest::qWaitFor(
            [&] {
                wire.remove_prefix(server.send(wire));
                return wire.empty();
            },
            Wait);
    }

    LoopbackListener server;
    std::unique_ptr<ByteLink> link;
    bool accepted = false;
    std::string received;
    std::string fromConsole;
    std::vector<std::string> losses;
    std::vector<std::string> notices;
};
} // namespace

// Servers that are broken or hostile: the console stays bounded, sends nothing too early, and says why.
class TestHostilePeers : public QObject
{
    Q_OBJECT

private slots:
    void theFirstCommandFollowsTheLineSettings()
    {
        Peer peer(true);
        QVERIFY(peer.accepted);
        peer.link->write("CR0\r");
        QVERIFY(peer.serverReads(bytes({Iac, Will, ComPort})));
        QVERIFY(peer.serverSends(bytes({Iac, Do, Binary, Iac, Will, Binary, Iac, Do, ComPort})));
        QVERIFY(peer.serverReads("CR0\r"));
        const std::size_t speed = peer.fromConsole.find(bytes({Iac, Sb, ComPort, 1}));
        QVERIFY(speed != std::string::npos);
        QVERIFY(speed < peer.fromConsole.find("CR0\r"));
        QVERIFY(peer.notices.empty());
    }

    void aLineAtTheServersOwnSpeedIsToldOnce_data()
    {
        QTest::addColumn<std::string>("answer");
        QTest::addColumn<QString>("notice");
        QTest::newRow("refused")
            << bytes({Iac, Dont, ComPort})
            << "the server does not take the line's settings; the line runs at the server's "
               "own speed";
        QTest::newRow("never answered")
            << bytes({Iac, Do, Binary})
            << "the server did not answer for the line's settings; the line runs at "
               "the server's own speed";
        QTest::newRow("no telnet at all")
            << std::string() << "the server does not speak telnet; use tcp://127.0.0.1:%1";
    }
    void aLineAtTheServersOwnSpeedIsToldOnce()
    {
        QFETCH(std::string, answer);
        QFETCH(QString, notice);
        Peer peer(true);
        QVERIFY(peer.accepted);
        peer.link->write("CR0\r");
        QVERIFY(peer.serverSends(answer));
        QVERIFY(peer.serverReads("CR0\r"));
        peer.link->write("CR1\r");
        QVERIFY(peer.serverReads("CR1\r"));
        QCOMPARE(peer.notices, std::vector<std::string>{notice.arg(peer.server.port()).toStdString()});
        QVERIFY(peer.losses.empty());
    }

    void aRepeatedOfferIsRefusedOnceWhateverItsNumber()
    {
        Peer peer(true);
        QVERIFY(peer.accepted);
        // Never read meanwhile: only answers that stay few can keep the link open.
        QVERIFY(peer.serverSends(repeated(bytes({Iac, Will, Status}), 1000) + "80\r"));
        QTRY_COMPARE_WITH_TIMEOUT(peer.received, std::string("80\r"), Wait);
        QVERIFY(peer.serverReads(bytes({Iac, Dont, Status})));
        const std::string refusal = bytes({Iac, Dont, Status});
        QCOMPARE(peer.fromConsole.find(refusal, peer.fromConsole.find(refusal) + 1), std::string::npos);
        QVERIFY(peer.losses.empty());
    }

    void aServerIsDroppedWithItsReason_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::addColumn<std::string>("wire");
        QTest::addColumn<bool>("hangUp");
        QTest::addColumn<QString>("reason");
        QTest::newRow("toggling an option without end")
            << true << repeated(bytes({Iac, Will, Binary, Iac, Wont, Binary}), 5000) << false
            << "the server does not stop negotiating telnet options";
        QTest::newRow("offering an option without end")
            << true << repeated(bytes({Iac, Will, Status}), 100000) << false
            << "the server does not stop negotiating telnet options";
        QTest::newRow("telnet on a raw line")
            << false << bytes({Iac, Will, SuppressGoAhead, Iac, Do, TerminalType}) << false
            << "the server speaks telnet; use rfc2217://127.0.0.1:%1";
        QTest::newRow("its words, raw") << false << std::string("Port already in use\r\n") << true
                                        << "the server closed the connection (Port already in use)";
        QTest::newRow("its words, RFC 2217") << true << std::string("Port already in use\r\n") << true
                                             << "the server closed the connection (Port already in use)";
    }
    void aServerIsDroppedWithItsReason()
    {
        QFETCH(bool, rfc2217);
        QFETCH(std::string, wire);
        QFETCH(bool, hangUp);
        QFETCH(QString, reason);
        Peer peer(rfc2217);
        QVERIFY(peer.accepted);
        QVERIFY(peer.serverSends(wire));
        if (hangUp)
            peer.server.hangUp();
        QTRY_COMPARE_WITH_TIMEOUT(peer.losses.size(), std::size_t(1), Wait);
        QCOMPARE(QString::fromStdString(peer.losses.front()), reason.arg(peer.server.port()));
        QVERIFY(!peer.link->isOpen());
        QVERIFY(peer.received.empty() || hangUp);
    }

    void ser2netsRefusalIsShownInItsWords()
    {
        SKIP_WITHOUT_SER2NET();
        Pty pty;
        Ser2net ser2net(pty.slavePath(), false);
        QVERIFY2(ser2net.start(), qPrintable(ser2net.output()));
        TcpLink first("127.0.0.1", ser2net.tcpPort());
        first.open(Line19200);
        first.write("CR0\r");
        QCOMPARE(pty.read(4), std::string("CR0\r"));
        TcpLink second("127.0.0.1", ser2net.tcpPort());
        // Its words come before any command could: the open fails in them.
        QString refused;
        second.setOnOpenFailed(
            [&](const SerialError &error) { refused = QString::fromStdString(error.description()); });
        second.open(Line19200);
        QTRY_VERIFY_WITH_TIMEOUT(!refused.isEmpty(), Wait);
        QCOMPARE(refused, QStringLiteral("the server closed the connection (Port already in use)"));
        QVERIFY(!second.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestHostilePeers)
#include "tst_hostilepeers.moc"
