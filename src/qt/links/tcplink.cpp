#include "qt/links/tcplink.h"

#include <algorithm>
#include <utility>

namespace {
constexpr unsigned char Iac = 255;
// SB, WILL, WONT, DO and DONT: the commands telnet opens a connection with.
constexpr unsigned char FirstTelnetOpening = 250;
} // namespace

TcpLink::TcpLink(std::string host, std::uint16_t port) : m_host(std::move(host)), m_port(port)
{
    m_socket.setReadBufferSize(ReadBufferBytes);
    m_connectWait.setTimerType(Qt::PreciseTimer);
    m_connectWait.setSingleShot(true);
    m_connectWait.setInterval(ConnectWait);
    m_telnetOpeningWait.setSingleShot(true);
    m_telnetOpeningWait.setInterval(TelnetOpeningWait);
    m_wordsWait.setSingleShot(true);
    m_wordsWait.setInterval(WordsWait);
    QObject::connect(&m_socket, &QTcpSocket::connected, &m_socket, [this] { connected(); });
    QObject::connect(&m_socket, &QTcpSocket::readyRead, &m_socket, [this] { receive(); });
    QObject::connect(&m_socket, &QTcpSocket::disconnected, &m_socket, [this] {
        if (m_listening)
            closedWhileListening();
        else
            lose();
    });
    QObject::connect(&m_socket, &QTcpSocket::errorOccurred, &m_socket,
                     [this](QAbstractSocket::SocketError error) {
                         if (m_listening)
                             closedWhileListening();
                         else if (m_connecting)
                             failConnecting(error);
                         else
                             lose();
                     });
    QObject::connect(&m_wordsWait, &QTimer::timeout, &m_wordsWait, [this] { wordsHeard(); });
    QObject::connect(&m_connectWait, &QTimer::timeout, &m_connectWait,
                     [this] { failConnecting(QAbstractSocket::SocketTimeoutError); });
    QObject::connect(&m_telnetOpeningWait, &QTimer::timeout, &m_telnetOpeningWait,
                     [this] { deliver(std::exchange(m_opening, {})); });
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
    m_line = line;
    m_received.clear();
    m_firstData.clear();
    m_opening.clear();
    m_commandSent = false;
    m_heardFrom = false;
    m_held.clear();
    m_heldWrites.clear();
    m_holding = true;
    m_open = true;
    m_connecting = true;
    m_connectWait.start();
    m_socket.connectToHost(QString::fromStdString(m_host), m_port);
}

void TcpLink::connected()
{
    m_connectWait.stop();
    // Commands are a few bytes each and a held button sends one every few milliseconds: none may wait
    // for the one before it to be acknowledged.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_openedAt = std::chrono::steady_clock::now();
    m_listening = true;
    m_wordsWait.start();
    listen();
}

void TcpLink::listen()
{
    while (m_listening && m_socket.bytesAvailable() > 0) {
        char first = 0;
        // Telnet's first words are the protocol's, left for decode() to judge.
        if (m_socket.peek(&first, 1) == 1 && static_cast<unsigned char>(first) == Iac) {
            wordsHeard();
            return;
        }
        m_firstData += m_socket.read(qint64(ReasonLimit - m_firstData.size())).toStdString();
        if (m_firstData.size() >= ReasonLimit)
            wordsHeard();
    }
}

void TcpLink::wordsHeard()
{
    m_listening = false;
    m_wordsWait.stop();
    m_connecting = false;
    if (const std::string words = serverWords(); !words.empty())
        raiseNotice("the server said: " + words);
    raiseOpened();
    if (!m_open)
        return;
    m_holding = false;
    started(m_line);
    if (!m_holding)
        release();
    // What came after the words: telnet's first words, for decode().
    receive();
}

void TcpLink::closedWhileListening()
{
    // The words that came with the close are still its reason.
    listen();
    if (!m_listening) {
        lose();
        return;
    }
    close();
    raiseOpenFailed(
        SerialError(SerialError::OpenFailed, "the server closed the connection" + closingReason()));
}

void TcpLink::failConnecting(QAbstractSocket::SocketError error)
{
    if (!m_connecting)
        return;
    const std::string detail = m_socket.errorString().toStdString();
    close();
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        raiseOpenFailed(SerialError(SerialError::OpenFailed, "connection refused"));
        return;
    case QAbstractSocket::HostNotFoundError:
        raiseOpenFailed(SerialError(SerialError::NoSuchDevice, "unknown host " + m_host));
        return;
    case QAbstractSocket::SocketTimeoutError:
        raiseOpenFailed(SerialError(SerialError::OpenFailed, "no answer from " + m_host));
        return;
    default:
        raiseOpenFailed(SerialError(SerialError::OpenFailed, "cannot connect (" + detail + ")"));
        return;
    }
}

void TcpLink::close()
{
    stop();
    m_received.clear();
}

void TcpLink::stop()
{
    m_open = false;
    m_connecting = false;
    m_listening = false;
    m_wordsWait.stop();
    m_connectWait.stop();
    m_telnetOpeningWait.stop();
    m_held.clear();
    m_heldWrites.clear();
    m_socket.abort();
}

void TcpLink::setLineSettings(const LineSettings &line)
{
    m_line = line;
    // While connecting, the settings wait for the connection's start.
    if (m_open && !m_connecting)
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
        m_heldWrites.push_back(bytes);
        return;
    }
    if (!send(wire))
        throw SerialError(SerialError::WriteFailed,
                          "the command could not be written (" + m_socket.errorString().toStdString() + ")");
    raiseSent(bytes);
}

void TcpLink::answer(const std::string &wire)
{
    if (!m_open || m_connecting || wire.empty())
        return;
    if (bytesWaiting() + wire.size() > WriteQueueLimit || !send(wire))
        drop("the server does not take what the console sends");
}

void TcpLink::release()
{
    m_holding = false;
    if (!m_open || m_held.empty())
        return;
    if (!send(std::exchange(m_held, {}))) {
        drop("the command could not be written (" + m_socket.errorString().toStdString() + ")");
        return;
    }
    for (const std::string &bytes : std::exchange(m_heldWrites, {}))
        raiseSent(bytes);
}

void TcpLink::drop(const std::string &reason)
{
    if (!m_open)
        return;
    stop();
    raiseLost(SerialError(SerialError::LineLost, reason));
}

std::string TcpLink::endpointText(const std::string &scheme) const
{
    const bool ipv6 = m_host.find(':') != std::string::npos;
    return scheme + "://" + (ipv6 ? "[" + m_host + "]" : m_host) + ":" + std::to_string(m_port);
}

std::string TcpLink::decode(const QByteArray &wire)
{
    std::string data = std::exchange(m_opening, {}) + wire.toStdString();
    if (m_heardFrom)
        return data;
    // Telnet's first words on a raw line: the server expects the endpoint of the other kind, and its
    // negotiation would reach the operator as data. Decided on the first two bytes, however they came.
    const auto byte = [&data](std::size_t at) { return static_cast<unsigned char>(data[at]); };
    if (data.size() == 1 && byte(0) == Iac) {
        m_opening = std::move(data);
        m_telnetOpeningWait.start();
        return {};
    }
    m_telnetOpeningWait.stop();
    if (data.size() >= 2 && byte(0) == Iac && byte(1) >= FirstTelnetOpening && byte(1) != Iac) {
        drop("the server speaks telnet; use " + endpointText("rfc2217"));
        return {};
    }
    return data;
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
    if (m_listening)
        listen();
    else if (!m_connecting)
        deliver(decode(m_socket.readAll()));
}

void TcpLink::deliver(const std::string &data)
{
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
    deliver(std::exchange(m_opening, {}));
    if (!m_open)
        return;
    const bool closedByServer = m_socket.error() == QAbstractSocket::RemoteHostClosedError ||
                                m_socket.state() != QAbstractSocket::ConnectedState;
    const std::string detail = m_socket.errorString().toStdString();
    stop();
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
