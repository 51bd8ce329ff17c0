#pragma once

#include "link/hostport.h"
#include "qt/pjlink/pjlinkclient.h"

#include <optional>
#include <string>

#include <QObject>
#include <QTcpServer>

// One projector's PJLink server: its listening socket, and at most ClientLimit clients at once, each
// greeted with a fresh random when a password is set.
class PjlinkServer : public QObject
{
public:
    static constexpr int ClientLimit = 16;
    static constexpr std::size_t RandomDigits = 8;

    // Throws std::runtime_error with one line naming the projector, the address and why it cannot be
    // taken.
    PjlinkServer(const std::string &projector, const HostPort &address, std::optional<std::string> password,
                 PjlinkClient::Handle handle);

    // The port listened on (a port 0 given takes a free one).
    quint16 port() const { return m_server.serverPort(); }

private:
    void accept();

    std::optional<std::string> m_password;
    PjlinkClient::Handle m_handle;
    int m_clients = 0;
    QTcpServer m_server;
};
