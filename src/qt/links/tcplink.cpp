#include "qt/links/tcplink.h"

#include <algorithm>
#include <utility>

#include <QCursor>
#include <QDeadlineTimer>
#include <QGuiApplication>

namespace {
// A busy cursor while opening keeps the window waiting, when there is a window at all.
class BusyCursor
{
public:
    BusyCursor() : m_shown(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
    {
        if (m_shown)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    bool m_shown;
};
} // namespace

TcpLink::TcpLink(std::string host, std::uint16_t port) : m_host(std::move(host)), m_port(port)
{
    m_socket.setReadBufferSize(ReadBufferBytes);
    QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket, [this] { receive(); });
    QObject::connect(&m_socket, &QTcpSocket::disconnected, &m_socket, [this] { lose(); });
    QObject::connect(&m_socket, &QTcpSocket::errorOccurred, &m_socket, [this] { lose(); });
}

TcpLink::~TcpLink()
{
    // Closed before the socket goes, whose own ending would otherwise be taken for a lost line.
    close();
}

void TcpLink::open(const LineSettings &line)
{
    if (m_open)
        return;
    m_received.clear();
    m_firstData.clear();
    m_commandSent = false;
    m_heardFrom = false;
    m_held.clear();
    m_holding = false;
    {
        const BusyCursor busy;
        m_socket.connectToHost(QString::fromStdString(m_host), m_port);
        if (!m_socket.waitForConnected(int(ConnectWait.count())))
            failOpen();
    }
    // Commands are a few bytes each and a held button sends one every few milliseconds: none may wait
    // for the one before it to be acknowledged.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_openedAt = std::chrono::steady_clock::now();
    listenForWords();
    m_open = true;
    started(line);
}

void TcpLink::listenForWords()
{
    constexpr char Iac = char(255);
    const QDeadlineTimer deadline(WordsWait);
    while (m_firstData.size() < ReasonLimit && m_socket.state() == QAbstractSocket::ConnectedState) {
        char first = 0;
        // Telnet's first words are the protocol's, left for decode() to judge.
        if (m_socket.peek(&first, 1) == 1 && first == Iac)
            break;
        if (m_socket.bytesAvailable() > 0) {
            m_firstData += m_socket.read(qint64(ReasonLimit - m_firstData.size())).toStdString();
            continue;
        }
        if (deadline.hasExpired() || !m_socket.waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    if (m_socket.state() != QAbstractSocket::ConnectedState) {
        m_socket.abort();
        throw SerialError(SerialError::OpenFailed, "the server closed the connection" + closingReason());
    }
    if (const std::string words = serverWords(); !words.empty())
        raiseNotice("the server said: " + words);
}

void TcpLink::failOpen()
{
    const QAbstractSocket::SocketError error = m_socket.error();
    const std::string detail = m_socket.errorString().toStdString();
    m_socket.abort();
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        throw SerialError(SerialError::OpenFailed, "connection refused");
    case QAbstractSocket::HostNotFoundError:
        throw SerialError(SerialError::NoSuchDevice, "unknown host " + m_host);
    case QAbstractSocket::SocketTimeoutError:
        throw SerialError(SerialError::OpenFailed, "no answer from " + m_host);
    default:
        throw SerialError(SerialError::OpenFailed, "cannot connect (" + detail + ")");
    }
}

void TcpLink::close()
{
    m_open = false;
    m_received.clear();
    m_held.clear();
    m_socket.abort();
}

void TcpLink::setLineSettings(const LineSettings &line)
{
    if (m_open)
        lineChanged(line);
}

void TcpLink::write(const std::string &bytes)
{
    if (!m_open)
        throw SerialError(SerialError::PortNotOpen, "port is not open");
    const std::string wire = encode(bytes);
    checkQueueRoom(bytesWaiting(), wire.size());
    m_commandSent = true;
    if (m_holding) {
        m_held += wire;
        return;
    }
    if (!send(wire))
        throw SerialError(SerialError::WriteFailed,
                          "the command could not be written (" + m_socket.errorString().toStdString() + ")");
}

void TcpLink::answer(const std::string &wire)
{
    if (!m_open || wire.empty())
        return;
    if (bytesWaiting() + wire.size() > WriteQueueLimit || !send(wire))
        drop("the server does not take what the console sends");
}

void TcpLink::release()
{
    m_holding = false;
    if (m_open && !m_held.empty() && !send(std::exchange(m_held, {})))
        drop("the command could not be written (" + m_socket.errorString().toStdString() + ")");
}

void TcpLink::drop(const std::string &reason)
{
    if (!m_open)
        return;
    m_open = false;
    m_held.clear();
    m_socket.abort();
    raiseLost(SerialError(SerialError::LineLost, reason));
}

std::string TcpLink::endpointText(const std::string &scheme) const
{
    const bool ipv6 = m_host.find(':') != std::string::npos;
    return scheme + "://" + (ipv6 ? "[" + m_host + "]" : m_host) + ":" + std::to_string(m_port);
}

std::string TcpLink::decode(const QByteArray &wire)
{
    // Telnet's first words on a raw line: the server expects the endpoint of the other kind, and its
    // negotiation would reach the operator as data.
    constexpr char Iac = char(255);
    constexpr char FirstTelnetCommand = char(250);
    if (!m_heardFrom && wire.size() >= 2 && wire[0] == Iac && wire[1] >= FirstTelnetCommand &&
        wire[1] != Iac) {
        drop("the server speaks telnet; use " + endpointText("rfc2217"));
        return {};
    }
    return wire.toStdString();
}

bool TcpLink::send(const std::string &wire)
{
    if (m_socket.write(wire.data(), qint64(wire.size())) != qint64(wire.size()))
        return false;
    // On its way now rather than at some later turn of the event loop; what the socket cannot take yet
    // waits in order.
    m_socket.flush();
    return true;
}

std::string TcpLink::readAll()
{
    return std::exchange(m_received, {});
}

void TcpLink::receive()
{
    if (!m_open || m_socket.bytesAvailable() == 0)
        return;
    const std::string data = decode(m_socket.readAll());
    if (data.empty() || !m_open)
        return;
    m_heardFrom = true;
    // Text before any command may still be the server's words, should it close.
    if (!m_commandSent && m_firstData.size() < ReasonLimit &&
        std::chrono::steady_clock::now() - m_openedAt < ReasonWindow)
        m_firstData += data.substr(0, ReasonLimit - m_firstData.size());
    m_received += data;
    raiseArrived();
}

void TcpLink::lose()
{
    if (!m_open)
        return;
    // A reply that came just before the end is still the operator's to see.
    receive();
    if (!m_open)
        return;
    const bool closedByServer = m_socket.error() == QAbstractSocket::RemoteHostClosedError ||
                                m_socket.state() != QAbstractSocket::ConnectedState;
    const std::string detail = m_socket.errorString().toStdString();
    m_open = false;
    m_socket.abort();
    raiseLost(SerialError(SerialError::LineLost, closedByServer
                                                     ? "the server closed the connection" + closingReason()
                                                     : "the connection was lost (" + detail + ")"));
}

std::string TcpLink::closingReason() const
{
    const std::string words = serverWords();
    return words.empty() ? std::string() : " (" + words + ")";
}

std::string TcpLink::serverWords() const
{
    // Only a line of plain text, ended as a line, sent right after the connection began and before any
    // command, is taken for the server's words.
    if (std::chrono::steady_clock::now() - m_openedAt >= ReasonWindow)
        return {};
    std::string text = m_firstData;
    const std::size_t lineEnd = text.find_last_not_of("\r\n") + 1;
    if (lineEnd == 0 || lineEnd == text.size())
        return {};
    text.resize(lineEnd);
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c <= '~'; });
    return plain ? text : std::string();
}
