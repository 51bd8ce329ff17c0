#pragma once

#include "pjlink/pjlinksession.h"

#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include <QObject>
#include <QTcpSocket>
#include <QTimer>

// One PJLink client's connection: greeted, its lines answered one at a time in the order they came, and
// closed after a wrong digest or when it has sent nothing for IdleLimit.
class PjlinkClient : public QObject
{
public:
    static constexpr auto IdleLimit = std::chrono::seconds(30);
    // The bytes read ahead of the line being answered; the rest wait in the kernel.
    static constexpr qint64 ReadAheadBytes = 4096;
    // Answers not yet taken by a client that does not read, past which its lines wait in the kernel.
    static constexpr qint64 WriteBehindBytes = 64 * 1024;

    // Takes the whole answer of a line, at once or once the projector has answered.
    using Answer = std::function<void(std::string)>;
    // Answers one line from the client at this address.
    using Handle = std::function<void(const std::string &client, const std::string &line, Answer answer)>;

    // random: the greeting's random digits and digest their MD5 with the password; none without one.
    PjlinkClient(QTcpSocket *socket, const std::optional<std::string> &random,
                 std::optional<std::string> digest, Handle handle, QObject *parent);

private:
    void received();
    void read();
    void next();
    void answered(const std::string &answer);
    void close();

    QTcpSocket *m_socket;
    PjlinkSession m_session;
    Handle m_handle;
    std::string m_address;
    std::deque<PjlinkInput> m_inputs;
    bool m_waiting = false;  // a line's answer is still to come
    bool m_stepping = false; // inside next(), which goes on by itself after an answer given at once
    QTimer m_idle;
};
