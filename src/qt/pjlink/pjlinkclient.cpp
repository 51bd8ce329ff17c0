#include "qt/pjlink/pjlinkclient.h"

#include <QPointer>

PjlinkClient::PjlinkClient(QTcpSocket *socket, const std::optional<std::string> &random,
                           std::optional<std::string> digest, Handle handle, QObject *parent)
    : QObject(parent), m_socket(socket), m_session(std::move(digest)), m_handle(std::move(handle)),
      m_address(socket->peerAddress().toString().toStdString())
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(ReadAheadBytes);
    m_idle.setSingleShot(true);
    m_idle.setInterval(IdleLimit);
    QObject::connect(&m_idle, &QTimer::timeout, this, &PjlinkClient::close);
    QObject::connect(m_socket, &QTcpSocket::readyRead, this, &PjlinkClient::received);
    QObject::connect(m_socket, &QTcpSocket::bytesWritten, this, &PjlinkClient::read);
    QObject::connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    const std::string greeting = PjlinkSession::greeting(random);
    m_socket->write(greeting.data(), qint64(greeting.size()));
    m_idle.start();
}

void PjlinkClient::received()
{
    m_idle.start();
    read();
}

void PjlinkClient::read()
{
    if (m_waiting || !m_inputs.empty() || m_socket->bytesToWrite() > WriteBehindBytes)
        return;
    const QByteArray bytes = m_socket->readAll();
    for (PjlinkInput &input :
         m_session.receive(std::string_view(bytes.constData(), std::size_t(bytes.size()))))
        m_inputs.push_back(std::move(input));
    next();
}

void PjlinkClient::next()
{
    m_stepping = true;
    while (!m_waiting && !m_inputs.empty()) {
        PjlinkInput input = std::move(m_inputs.front());
        m_inputs.pop_front();
        if (input.kind != PjlinkInput::Kind::Line) {
            m_socket->write(input.text.data(), qint64(input.text.size()));
            if (input.kind == PjlinkInput::Kind::Close) {
                m_stepping = false;
                return close();
            }
            continue;
        }
        m_waiting = true;
        m_handle(m_address, input.text, [client = QPointer(this)](std::string answer) {
            if (client)
                client->answered(answer);
        });
    }
    m_stepping = false;
    // Bytes that came while a line waited for its answer.
    if (!m_waiting && m_socket->bytesAvailable() > 0)
        read();
}

void PjlinkClient::answered(const std::string &answer)
{
    m_socket->write(answer.data(), qint64(answer.size()));
    m_waiting = false;
    if (!m_stepping)
        next();
}

void PjlinkClient::close()
{
    m_inputs.clear();
    m_socket->disconnectFromHost();
}
