#include "qt/pjlink/pjlinkserver.h"

#include <stdexcept>

#include <QCryptographicHash>
#include <QHostAddress>
#include <QRandomGenerator>

namespace {
// Eight lowercase hex digits, a new one per connection, so that a digest seen once is no use again.
std::string randomDigits()
{
    return QStringLiteral("%1")
        .arg(QRandomGenerator::system()->generate(), int(PjlinkServer::RandomDigits), 16, QLatin1Char('0'))
        .toStdString();
}

std::string digestOf(const std::string &random, const std::string &password)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(random + password), QCryptographicHash::Md5)
        .toHex()
        .toStdString();
}
} // namespace

PjlinkServer::PjlinkServer(const std::string &projector, const HostPort &address,
                           std::optional<std::string> password, PjlinkClient::Handle handle)
    : m_password(std::move(password)), m_handle(std::move(handle))
{
    const QHostAddress host(QString::fromStdString(address.host));
    if (host.isNull())
        throw std::runtime_error("cannot serve PJLink for " + projector + " on " + address.host +
                                 ": the host is no IP address");
    if (!m_server.listen(host, address.port))
        throw std::runtime_error("cannot serve PJLink for " + projector + " on " + address.host + ":" +
                                 std::to_string(address.port) + ": " + m_server.errorString().toStdString());
    QObject::connect(&m_server, &QTcpServer::newConnection, this, &PjlinkServer::accept);
}

void PjlinkServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_clients >= ClientLimit) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        std::optional<std::string> random;
        std::optional<std::string> digest;
        if (m_password) {
            random = randomDigits();
            digest = digestOf(*random, *m_password);
        }
        auto *client = new PjlinkClient(socket, random, std::move(digest), m_handle, this);
        ++m_clients;
        QObject::connect(client, &QObject::destroyed, this, [this] { --m_clients; });
    }
}
