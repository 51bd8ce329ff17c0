#include "qt/simulator/projectorserver.h"
#include "qt/simulator/simulatedprojector.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTcpSocket>
#include <QTest>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::string)

namespace {
constexpr int Wait = 5000; // ms
const std::string Ack{"\x06\r"};
// A small receive buffer, so a client that never reads fills its line soon.
constexpr int SmallReceiveBuffer = 4096;

ProjectorServer *listening(ProjectorServer &server)
{
    return server.listen(QHostAddress::LocalHost, 0) ? &server : nullptr;
}

quint16 portOf(const ProjectorServer &server)
{
    return quint16(server.endpoint().section(QLatin1Char(':'), -1).toUInt());
}

// Connects and waits until the projector has the client, so the next client is the second one.
std::unique_ptr<QTcpSocket> connectedClient(ProjectorServer &server)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, portOf(server));
    if (!QTest::qWaitFor([&] { return socket->state() == QAbstractSocket::ConnectedState; }, Wait))
        return nullptr;
    return socket;
}

// Sends one line and gives what came back once `bytes` bytes have come, or what came by the time-out.
std::string exchange(QTcpSocket &socket, const std::string &line, std::size_t bytes)
{
    socket.write(line.data(), qint64(line.size()));
    (void)QTest::qWaitFor([&] { return std::size_t(socket.bytesAvailable()) >= bytes; }, Wait);
    return socket.readAll().toStdString();
}

// A client on a plain descriptor that reads only when told: a TCP socket with a small receive buffer,
// or the slave side of the simulated projector's pseudo-terminal.
class RawClient
{
public:
    explicit RawClient(int fd) : m_fd(fd) {}
    ~RawClient() { ::close(m_fd); }
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    static std::unique_ptr<RawClient> tcp(quint16 port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &SmallReceiveBuffer, sizeof SmallReceiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            ::close(fd);
            return nullptr;
        }
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        return std::make_unique<RawClient>(fd);
    }
    static std::unique_ptr<RawClient> pty(const std::string &slave)
    {
        const int fd = ::open(slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return fd < 0 ? nullptr : std::make_unique<RawClient>(fd);
    }

    // Writes every byte, letting the projector run while the line is full.
    bool write(std::string_view bytes)
    {
        return QTest::qWaitFor(
            [&] {
                const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
                if (n > 0)
                    bytes.remove_prefix(std::size_t(n));
                return bytes.empty();
            },
            Wait);
    }
    // What a non-blocking write takes now, without letting the projector run: false once it takes nothing.
    bool writeSome(std::string_view bytes) { return ::write(m_fd, bytes.data(), bytes.size()) > 0; }
    // The far end has closed: reading meets the end of the stream, or a reset.
    bool closedByPeer()
    {
        return QTest::qWaitFor(
            [&] {
                char chunk[4096];
                const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
                return n == 0 || (n < 0 && errno != EAGAIN);
            },
            Wait);
    }
    std::string readAvailable()
    {
        std::string bytes;
        char chunk[4096];
        ssize_t n = 0;
        while ((n = ::read(m_fd, chunk, sizeof chunk)) > 0)
            bytes.append(chunk, std::size_t(n));
        return bytes;
    }

private:
    int m_fd = -1;
};
} // namespace

// The simulated projector's two lines, a TCP client and a pseudo-terminal, with real peers on 127.0.0.1.
class TestSimulatorLines : public QObject
{
    Q_OBJECT

private slots:
    void aTcpClientIsAnswered_data()
    {
        QTest::addColumn<std::string>("line");
        QTest::addColumn<std::string>("reply");
        QTest::newRow("query") << std::string("CR0\r") << std::string("80\r");
        QTest::newRow("command") << std::string("C0B\r") << Ack;
        QTest::newRow("two lines in one write") << std::string("C00\rCR0\r") << Ack + "40\r";
    }
    void aTcpClientIsAnswered()
    {
        QFETCH(std::string, line);
        QFETCH(std::string, reply);
        ProjectorServer server;
        QVERIFY(listening(server));
        QVERIFY(server.endpoint().startsWith("tcp://127.0.0.1:"));
        QVERIFY(portOf(server) != 0);
        auto client = connectedClient(server);
        QVERIFY(client);
        QCOMPARE(exchange(*client, line, reply.size()), reply);
    }

    void aNewClientTakesTheLineOverAtOnce()
    {
        ProjectorServer server;
        QVERIFY(listening(server));
        // The first client sends commands without end and never reads, as far as the network takes them.
        auto first = RawClient::tcp(portOf(server));
        QVERIFY(first);
        QVERIFY(QTest::qWaitFor([&] { return server.hasClient(); }, Wait));
        const std::string flood(1 << 16, 'X');
        int pieces = 0;
        while (first->writeSome(flood))
            ++pieces;
        QVERIFY(pieces > 0);
        auto second = connectedClient(server);
        QVERIFY(second);
        QCOMPARE(exchange(*second, "CR0\r", 3), std::string("80\r"));
        QVERIFY(first->closedByPeer());
    }

    void aClientThatNeverReadsCannotGrowTheQueue_data()
    {
        QTest::addColumn<bool>("overTcp");
        QTest::newRow("tcp") << true;
        QTest::newRow("pseudo-terminal") << false;
    }
    void aClientThatNeverReadsCannotGrowTheQueue()
    {
        QFETCH(bool, overTcp);
        constexpr int MaxBatches = 10000;
        constexpr int LinesPerBatch = 500;
        // Replies due at once, so only a full line, never a burst of them, can make the queue drop one.
        SimulatorOptions prompt;
        prompt.replyDelay = 0ms;
        ProjectorServer server(prompt);
        SimulatedProjector pty(prompt);
        std::unique_ptr<RawClient> client;
        ProjectorSession *session = nullptr;
        if (overTcp) {
            QVERIFY(listening(server));
            client = RawClient::tcp(portOf(server));
            session = &server.session();
        } else {
            client = RawClient::pty(pty.slavePath());
            session = &pty.session();
        }
        QVERIFY(client);
        const std::string reply = session->projector().answer("CR9", 0ms);
        std::string batch;
        for (int i = 0; i < LinesPerBatch; ++i)
            batch += "CR9\r";
        // Commands until the line takes no more, then as many again: the queue stays within its bound.
        int batches = 0;
        int fullAfter = 0;
        while (batches < MaxBatches && (fullAfter == 0 || batches < 2 * fullAfter)) {
            QVERIFY(client->write(batch));
            ++batches;
            QTRY_COMPARE_WITH_TIMEOUT(session->projector().timesReceived("CR9"), 1 + batches * LinesPerBatch,
                                      5000);
            QVERIFY(session->queue().waitingBytes() <= session->queue().capacityBytes());
            // Lets the line take what it will before looking.
            QTest::qWait(1);
            if (fullAfter == 0 && !session->queue().outgoing().empty())
                fullAfter = batches;
        }
        QVERIFY2(fullAfter > 0, "the line never stopped taking data");
        // Reading again, the client gets every reply that was not dropped, each one whole.
        const int delivered = batches * LinesPerBatch - session->repliesDroppedForRoom();
        std::string received;
        QTRY_VERIFY_WITH_TIMEOUT((received += client->readAvailable()).size() >= delivered * reply.size(),
                                 10000);
        QCOMPARE(received.size(), delivered * reply.size());
        for (std::size_t at = 0; at < received.size(); at += reply.size())
            QVERIFY2(received.compare(at, reply.size(), reply) == 0, qPrintable(QString::number(at)));
        QCOMPARE(session->queue().waitingBytes(), std::size_t(0));
        qInfo("%d of %d replies delivered, the rest dropped whole", delivered, batches * LinesPerBatch);

        QVERIFY(client->write("CR0\r"));
        received.clear();
        QTRY_COMPARE_WITH_TIMEOUT(received += client->readAvailable(), std::string("80\r"), 5000);
    }
};

QTEST_GUILESS_MAIN(TestSimulatorLines)
#include "tst_simulatorlines.moc"
