#include "qt/lend/lendserver.h"

#include "link/trafficline.h"

#include <chrono>
#include <stdexcept>

#include <QHostAddress>

namespace {
std::string addressOf(const QTcpSocket &socket)
{
    const QHostAddress peer = socket.peerAddress();
    const QString host =
        peer.protocol() == QAbstractSocket::IPv6Protocol ? "[" + peer.toString() + "]" : peer.toString();
    return host.toStdString() + ":" + std::to_string(socket.peerPort());
}
} // namespace

LendServer::LendServer(FleetWatch &fleet, const std::string &projector, const HostPort &address)
    : m_fleet(fleet), m_projector(projector)
{
    const QHostAddress host(QString::fromStdString(address.host));
    if (host.isNull())
        throw std::runtime_error("cannot lend " + projector + "'s line on " + address.host +
                                 ": the host is no IP address");
    if (!m_server.listen(host, address.port))
        throw std::runtime_error("cannot lend " + projector + "'s line on " + address.host + ":" +
                                 std::to_string(address.port) + ": " + m_server.errorString().toStdString());
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    QObject::connect(&m_retry, &QTimer::timeout, this, &LendServer::pass);
    QObject::connect(&m_server, &QTcpServer::newConnection, this, &LendServer::accept);
}

void LendServer::accept()
{
    while (QTcpSocket *client = m_server.nextPendingConnection()) {
        if (m_client)
            refuse(client, "lent to " + m_clientAddress + " since " + m_since);
        else
            lendTo(client);
    }
}

void LendServer::refuse(QTcpSocket *client, const std::string &why)
{
    client->write(QByteArray::fromStdString(why + "\r\n"));
    client->disconnectFromHost();
    QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    if (client->state() == QAbstractSocket::UnconnectedState)
        client->deleteLater();
}

void LendServer::lendTo(QTcpSocket *client)
{
    const std::string address = addressOf(*client);
    if (const std::optional<std::string> why = m_fleet.lend(m_projector, *this, address)) {
        refuse(client, m_projector + ": " + *why);
        return;
    }
    // The watch may hand the line over before lend returns; the client is this borrower's from here.
    m_client = client;
    m_clientAddress = address;
    m_since = trafficTimestamp(std::chrono::system_clock::now());
    client->setReadBufferSize(ReadBytes);
    client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QObject::connect(client, &QTcpSocket::readyRead, this, &LendServer::pass);
    QObject::connect(client, &QTcpSocket::disconnected, this, &LendServer::clientLeft);
    pass();
}

void LendServer::pass()
{
    while (m_client && m_handedOver) {
        if (m_waiting.empty())
            m_waiting = m_client->read(ReadBytes).toStdString();
        if (m_waiting.empty())
            return;
        m_waiting.erase(0, m_fleet.lentOutput(m_projector, m_waiting));
        if (!m_waiting.empty()) {
            m_retry.start();
            return;
        }
    }
}

void LendServer::clientLeft()
{
    // What the client sent before it left still goes out, as far as the line takes it now.
    pass();
    if (!m_client)
        return;
    letGo();
    m_fleet.takeBack(m_projector);
}

void LendServer::letGo()
{
    QTcpSocket *client = std::exchange(m_client, nullptr);
    QObject::disconnect(client, nullptr, this, nullptr);
    client->abort();
    client->deleteLater();
    m_handedOver = false;
    m_waiting.clear();
    m_retry.stop();
}

void LendServer::handedOver()
{
    m_handedOver = true;
    // Bytes the client sent while the watch finished its text.
    QTimer::singleShot(0, this, &LendServer::pass);
}

void LendServer::received(const std::string &bytes)
{
    if (!m_client)
        return;
    if (m_client->bytesToWrite() > UnreadLimitBytes) {
        // Given back once the line's own call has returned.
        QTimer::singleShot(0, this, &LendServer::clientLeft);
        return;
    }
    m_client->write(bytes.data(), qint64(bytes.size()));
}

void LendServer::takenBack(const std::string &)
{
    // The watch says why on its own outputs; the client sees its connection close, as a device server's.
    if (m_client)
        letGo();
}
