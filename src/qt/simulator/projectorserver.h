#pragma once

#include "qt/simulator/projectorsession.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

// A simulated projector serving one TCP client at a time, as a serial device server in front of one
// projector would. A client that comes while another is served takes the line over, so that a console
// that reconnects at once is never refused by its own connection of a moment ago.
class ProjectorServer : public QObject
{
public:
    // What QTcpSocket may hold beyond the session's queue before the kernel takes it.
    static constexpr qint64 SocketBufferBytes = 4096;
    // What is read from a client at a time: one that sends without end is held back by the network's
    // own flow control instead of filling memory.
    static constexpr qint64 ReadBufferBytes = 4096;

    explicit ProjectorServer(const SimulatorOptions &options = {}, QObject *parent = nullptr);
    ~ProjectorServer() override;
    ProjectorServer(const ProjectorServer &) = delete;
    ProjectorServer &operator=(const ProjectorServer &) = delete;

    // Starts listening; false with the reason in errorText().
    bool listen(const QHostAddress &address, quint16 port);
    // Why listen() failed, in our words.
    QString errorText() const { return m_errorText; }
    // tcp://HOST:PORT, the endpoint a console opens, with the port actually taken.
    QString endpoint() const;
    ProjectorSession &session() { return m_session; }
    bool hasClient() const { return m_client != nullptr; }

private:
    void accept();
    void clientGone(QTcpSocket *client);
    void dropClient();
    qint64 write(std::string_view bytes);
    static QString peer(const QTcpSocket &socket);

    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QString m_clientName; // its address and port, kept for the log after it is gone
    ProjectorSession m_session;
    QString m_errorText;
};
