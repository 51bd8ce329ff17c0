#pragma once

#include "link/hostport.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct MHD_Daemon;

// One request as a route sees it.
struct HttpRequest
{
    std::string_view method;
    std::string_view path; // without the query
};

// A route's answer; the body is shared, never copied, and outlives the send however slow the client.
struct HttpResponse
{
    unsigned status = 200;
    std::string contentType;
    std::shared_ptr<const std::string> body;
};

// A path served and the methods it takes. The answer is made on the server's thread for every client,
// so it returns at once and never waits on the event loop.
struct HttpRoute
{
    std::string path;
    std::vector<std::string> methods;
    std::function<HttpResponse(const HttpRequest &)> answer;
};

// The console's one HTTP server (libmicrohttpd, one thread of its own polling every connection with
// epoll): the routes it is given by exact path, 404 for any other path, 405 for another method.
// Every client is bounded, so none delays another, a scrape or the event loop.
class HttpServer
{
public:
    // Connections open at once, in all and from one client address.
    static constexpr unsigned ConnectionLimit = 256;
    static constexpr unsigned ConnectionsPerAddressLimit = 16;
    // Memory of one connection: its request line and headers, and what it reads.
    static constexpr std::size_t ConnectionMemoryBytes = 16 * 1024;
    // A request's body; a longer one is refused 413.
    static constexpr std::size_t BodyLimitBytes = 1024;
    // A connection that sends and takes nothing this long is closed.
    static constexpr std::chrono::seconds IdleTimeout{10};

    // Serves at once; throws std::runtime_error with one line in the console's words when the address
    // cannot be bound or the server not started.
    HttpServer(const HostPort &address, std::vector<HttpRoute> routes);
    // Stops at once, closing every connection.
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // The address with the port taken.
    const HostPort &address() const { return m_address; }
    // http://HOST:PORT, with the port taken.
    std::string origin() const;

    // The route of this path, or null. For the server's thread.
    const HttpRoute *routeOf(std::string_view path) const;

private:
    HostPort m_address;
    std::vector<HttpRoute> m_routes;
    std::unique_ptr<MHD_Daemon, void (*)(MHD_Daemon *)> m_daemon;
};
