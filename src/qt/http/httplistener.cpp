#include "qt/http/httplistener.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {
// Port 0 takes a free port, which the listener tells.
constexpr std::uint16_t LowestHttpPort = 0;
constexpr std::string_view Loopback = "127.0.0.1";
constexpr std::string_view LocalHostName = "localhost";

// An IP address and port as the socket calls take them; false when the host is no IP address.
bool socketAddress(const HostPort &address, sockaddr_storage &storage, socklen_t &length)
{
    storage = {};
    auto &four = reinterpret_cast<sockaddr_in &>(storage);
    if (::inet_pton(AF_INET, address.host.c_str(), &four.sin_addr) == 1) {
        four.sin_family = AF_INET;
        four.sin_port = htons(address.port);
        length = sizeof four;
        return true;
    }
    auto &six = reinterpret_cast<sockaddr_in6 &>(storage);
    if (::inet_pton(AF_INET6, address.host.c_str(), &six.sin6_addr) == 1) {
        six.sin6_family = AF_INET6;
        six.sin6_port = htons(address.port);
        length = sizeof six;
        return true;
    }
    return false;
}

std::string bindFailure(int error)
{
    switch (error) {
    case EADDRINUSE:
        return "the port is in use";
    case EADDRNOTAVAIL:
        return "the address is not this machine's";
    case EACCES:
        return "no permission to bind the port (below 1024 needs privilege)";
    default:
        return std::strerror(error);
    }
}

// The port the kernel gave the socket.
std::uint16_t boundPort(int socket)
{
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getsockname(socket, reinterpret_cast<sockaddr *>(&storage), &length) != 0)
        return 0;
    return ntohs(storage.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6 &>(storage).sin6_port
                                               : reinterpret_cast<const sockaddr_in &>(storage).sin_port);
}
} // namespace

HttpListener::HttpListener(const HostPort &address) : m_address(address)
{
    sockaddr_storage storage;
    socklen_t length = 0;
    if (!socketAddress(address, storage, length))
        throw std::runtime_error("cannot serve HTTP on " + urlAuthority(address) + ": no IP address");
    m_ipv6 = storage.ss_family == AF_INET6;
    m_socket = ::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int yes = 1;
    // Every IPv6 address ("::") takes IPv4 clients too; a listener of the last run waiting out its
    // closed connections leaves the port free.
    const int ipv6Only = address.host == "::" ? 0 : 1;
    const bool bound =
        m_socket >= 0 && ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) == 0 &&
        (!m_ipv6 || ::setsockopt(m_socket, IPPROTO_IPV6, IPV6_V6ONLY, &ipv6Only, sizeof ipv6Only) == 0) &&
        ::bind(m_socket, reinterpret_cast<const sockaddr *>(&storage), length) == 0 &&
        ::listen(m_socket, Backlog) == 0;
    if (!bound) {
        const int error = errno;
        if (m_socket >= 0)
            ::close(m_socket);
        throw std::runtime_error("cannot serve HTTP on " + urlAuthority(address) + ": " + bindFailure(error));
    }
    m_address.port = boundPort(m_socket);
}

HttpListener::~HttpListener()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

int HttpListener::release()
{
    return std::exchange(m_socket, -1);
}

std::string urlAuthority(const HostPort &address)
{
    const bool ipv6 = address.host.find(':') != std::string::npos;
    return (ipv6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

HostPort parseHttpAddress(std::string_view text)
{
    const bool portAlone =
        !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    HostPort address =
        parseHostPort(portAlone ? std::string(Loopback) + ":" + std::string(text) : text, LowestHttpPort);
    if (address.host == LocalHostName)
        address.host = Loopback;
    sockaddr_storage storage;
    socklen_t length = 0;
    if (!socketAddress(address, storage, length))
        throw std::invalid_argument("'" + address.host + "' is no IP address");
    return address;
}
