#include "loopbacklistener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>

namespace {
// Connections beyond the one the queue holds: their handshakes are dropped and retried, never answered.
constexpr int QueueFillers = 3;

int boundSocket(std::uint16_t &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopbackAddress(0);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        throw std::runtime_error("no loopback port");
    port = ntohs(address.sin_port);
    return fd;
}
} // namespace

sockaddr_in loopbackAddress(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool loopbackListening(std::uint16_t port)
{
    constexpr char Listen[] = "0A";
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local =
        QStringLiteral("0100007F:%1").arg(port, 4, 16, QLatin1Char('0')).toUpper().toLatin1();
    for (const QByteArray &row : table.readAll().split('\n')) {
        const QList<QByteArray> fields = row.simplified().split(' ');
        if (fields.size() > 3 && fields[1] == local && fields[3] == Listen)
            return true;
    }
    return false;
}

std::uint16_t freeLoopbackPort()
{
    std::uint16_t port = 0;
    ::close(boundSocket(port));
    return port;
}

LoopbackListener::LoopbackListener()
{
    m_listener = boundSocket(m_port);
    // A backlog of 0 holds one connection that is not accepted yet.
    if (::listen(m_listener, 0) != 0)
        throw std::runtime_error("cannot listen on loopback");
}

LoopbackListener::~LoopbackListener()
{
    for (const int fd : m_waiting)
        ::close(fd);
    if (m_peer >= 0)
        ::close(m_peer);
    ::close(m_listener);
}

void LoopbackListener::fillAcceptQueue()
{
    const sockaddr_in address = loopbackAddress(m_port);
    for (int i = 0; i < QueueFillers; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
        m_waiting.push_back(fd);
    }
}

bool LoopbackListener::accept(std::chrono::milliseconds wait)
{
    pollfd ready{m_listener, POLLIN, 0};
    if (::poll(&ready, 1, int(wait.count())) <= 0)
        return false;
    m_peer = ::accept(m_listener, nullptr, nullptr);
    return m_peer >= 0;
}

std::string LoopbackListener::readUntilQuiet(std::chrono::milliseconds quiet)
{
    std::string received;
    char chunk[65536];
    for (pollfd ready{m_peer, POLLIN, 0}; ::poll(&ready, 1, int(quiet.count())) > 0;) {
        const ssize_t n = ::read(m_peer, chunk, sizeof chunk);
        if (n <= 0)
            break;
        received.append(chunk, std::size_t(n));
    }
    return received;
}

std::string LoopbackListener::readAvailable()
{
    std::string received;
    char chunk[65536];
    ssize_t n = 0;
    while ((n = ::recv(m_peer, chunk, sizeof chunk, MSG_DONTWAIT)) > 0)
        received.append(chunk, std::size_t(n));
    return received;
}

std::size_t LoopbackListener::send(std::string_view bytes)
{
    const ssize_t n = ::send(m_peer, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    return n > 0 ? std::size_t(n) : 0;
}

void LoopbackListener::hangUp()
{
    ::close(m_peer);
    m_peer = -1;
}
