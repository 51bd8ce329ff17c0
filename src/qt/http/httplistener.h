#pragma once

#include "link/hostport.h"

#include <string>

// The HTTP server's listening socket, bound and listening before the server starts, so that a port that
// cannot be taken is told in the console's words and the port taken is known.
class HttpListener
{
public:
    // Connections the kernel holds for the server before it takes them: room for a storm of clients
    // that are cut off and come again, so that another client's connection is not dropped.
    static constexpr int Backlog = 1024;

    // Throws std::runtime_error with one line ("cannot serve HTTP on 127.0.0.1:80: ...") naming why
    // the address cannot be bound.
    explicit HttpListener(const HostPort &address);
    // Closes the socket unless it was handed on.
    ~HttpListener();
    HttpListener(const HttpListener &) = delete;
    HttpListener &operator=(const HttpListener &) = delete;

    // The socket, now the caller's to close.
    int release();
    // The address with the port taken (port 0 takes a free one).
    const HostPort &address() const { return m_address; }
    bool ipv6() const { return m_ipv6; }

private:
    HostPort m_address;
    bool m_ipv6 = false;
    int m_socket = -1;
};

// HOST:PORT with an IPv6 address in brackets, as a URL writes it.
std::string urlAuthority(const HostPort &address);

// --http's value: PORT alone binds the loopback address only, HOST:PORT (HOST an IP address or
// localhost, [IPV6] in brackets) that address. Throws std::invalid_argument with the reason alone.
HostPort parseHttpAddress(std::string_view text);
