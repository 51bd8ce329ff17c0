#pragma once

#include "link/hostport.h"
#include "watch/fleetwatch.h"
#include "watch/lineborrower.h"

#include <string>

#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// One projector's line lent as raw TCP, as a serial device server lends its port: one client at a time,
// its bytes and the line's passed both ways unchanged while the fleet's watch of it rests. A second client
// is told who has the line and closed.
class LendServer : public QObject, private LineBorrower
{
public:
    // What a client's read may hold before the line takes it; the socket holds no more either, so a
    // client that sends faster than the line is slowed down by TCP itself.
    static constexpr qint64 ReadBytes = 4096;
    // A client that reads nothing while the line keeps talking is let go past this.
    static constexpr qint64 UnreadLimitBytes = 64 * 1024;
    static constexpr int RetryMs = 10;

    // Throws std::runtime_error with one line naming the projector, the address and why it cannot be
    // taken.
    LendServer(FleetWatch &fleet, const std::string &projector, const HostPort &address);

    // The port listened on (a port 0 given takes a free one).
    quint16 port() const { return m_server.serverPort(); }

private:
    void accept();
    void lendTo(QTcpSocket *client);
    // Tells a client in one line why it cannot have the line, and closes it.
    static void refuse(QTcpSocket *client, const std::string &why);
    // The client's bytes, as many as the line takes now; the rest waits for a retry.
    void pass();
    void clientLeft();
    void letGo();

    void handedOver() override;
    void received(const std::string &bytes) override;
    void takenBack(const std::string &why) override;

    FleetWatch &m_fleet;
    std::string m_projector;
    QTcpServer m_server;
    QTcpSocket *m_client = nullptr;
    std::string m_clientAddress;
    std::string m_since;
    bool m_handedOver = false;
    // The client's bytes read and not yet taken by the line.
    std::string m_waiting;
    QTimer m_retry;
};
