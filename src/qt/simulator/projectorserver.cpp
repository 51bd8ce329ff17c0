#include "qt/simulator/projectorserver.h"

#include <algorithm>

ProjectorServer::ProjectorServer(const SimulatorOptions &options, QObject *parent)
    : QObject(parent), m_session(options, [this](std::string_view bytes) { return write(bytes); })
{
    connect(&m_server, &QTcpServer::newConnection, this, &ProjectorServer::accept);
}

ProjectorServer::~ProjectorServer()
{
    // The client's last signals must not reach a session that is being destroyed.
    if (m_client)
        m_client->disconnect(this);
}

bool ProjectorServer::listen(const QHostAddress &address, quint16 port)
{
    if (m_server.listen(address, port))
        return true;
    switch (m_server.serverError()) {
    case QAbstractSocket::AddressInUseError:
        m_errorText = QStringLiteral("the port is in use");
        break;
    case QAbstractSocket::SocketAccessError:
        m_errorText = QStringLiteral("no permission (ports below 1024 need root)");
        break;
    case QAbstractSocket::SocketAddressNotAvailableError:
        m_errorText = QStringLiteral("no such address on this machine");
        break;
    default:
        m_errorText = m_server.errorString();
    }
    return false;
}

QString ProjectorServer::endpoint() const
{
    const QHostAddress address = m_server.serverAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return QStringLiteral("tcp://%1:%2").arg(host).arg(m_server.serverPort());
}

QString ProjectorServer::peer(const QTcpSocket &socket)
{
    return QStringLiteral("%1:%2").arg(socket.peerAddress().toString()).arg(socket.peerPort());
}

void ProjectorServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_client) {
            m_session.log("-- " + m_clientName.toStdString() + " replaced by " + peer(*socket).toStdString());
            dropClient();
        }
        m_client = socket;
        m_clientName = peer(*socket);
        m_session.log("-- " + m_clientName.toStdString() + " connected");
        socket->setReadBufferSize(ReadBufferBytes);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            const QByteArray bytes = socket->readAll();
            m_session.receive(std::string_view(bytes.constData(), std::size_t(bytes.size())));
        });
        // Queued: write() below flushes, and the socket says bytesWritten() from inside that flush.
        connect(
            socket, &QTcpSocket::bytesWritten, this, [this] { m_session.lineReady(); }, Qt::QueuedConnection);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { clientGone(socket); });
    }
}

void ProjectorServer::clientGone(QTcpSocket *client)
{
    if (client != m_client)
        return;
    m_session.log("-- " + m_clientName.toStdString() + " disconnected");
    dropClient();
}

void ProjectorServer::dropClient()
{
    QTcpSocket *client = m_client;
    m_client = nullptr;
    // Nothing of what it sent or was due to get is kept for the next client.
    client->disconnect(this);
    client->abort();
    client->deleteLater();
    m_session.lineGone();
}

qint64 ProjectorServer::write(std::string_view bytes)
{
    if (!m_client)
        return -1;
    const qint64 room = SocketBufferBytes - m_client->bytesToWrite();
    if (room <= 0)
        return 0;
    const qint64 taken = m_client->write(bytes.data(), std::min(room, qint64(bytes.size())));
    // Into the kernel now, so that only what it refuses counts against the room here.
    m_client->flush();
    return taken;
}
