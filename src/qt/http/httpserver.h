#pragma once

#include "link/hostport.h"
#include "qt/http/httpstream.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct MHD_Daemon;

// One request as a route sees it, read whole.
struct HttpRequest
{
    std::string method;
    std::string path;          // without the query
    std::string client;        // the client's address: "127.0.0.1", "::1"
    std::string authorization; // the header's value, or empty
    std::string contentType;   // the header's value, or empty
    std::string body;          // at most HttpServer::BodyLimitBytes
};

// A route's answer; the body is shared, never copied, and outlives the send however slow the client. With
// a stream, the body is the stream's text as it comes.
struct HttpResponse
{
    unsigned status = 200;
    std::string contentType;
    std::shared_ptr<const std::string> body;
    std::vector<std::pair<std::string, std::string>> headers;
    std::shared_ptr<HttpStream> stream;
};

// Hands a route's answer back, from any thread, at once or later: the first is sent, any later one is
// ignored, and one for a client that has gone is let go. Copies share the one request.
using HttpReply = std::function<void(HttpResponse)>;

// A path served (or, with prefix, every path under it) and the methods it takes. The route is called on
// the server's thread and returns at once; it replies then or later, from another thread, and the
// connection waits meanwhile without holding the server's thread.
struct HttpRoute
{
    std::string path;
    std::vector<std::string> methods;
    std::function<void(const HttpRequest &, HttpReply)> answer;
    bool prefix = false;
};

// The console's one HTTP server (libmicrohttpd, one thread of its own polling every connection with
// epoll): the routes it is given by path, 404 for any other path, 405 for another method.
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
    // At the end, how long the requests still waiting have to take their 503.
    static constexpr std::chrono::milliseconds StopWait{500};

    // Serves at once; throws std::runtime_error with one line in the console's words when the address
    // cannot be bound or the server not started.
    HttpServer(const HostPort &address, std::vector<HttpRoute> routes);
    // Stops, answering every request still waiting 503 (within StopWait) and closing every connection.
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // The address with the port taken.
    const HostPort &address() const { return m_address; }
    // http://HOST:PORT, with the port taken.
    std::string origin() const;

    // The route of this path, or null. For the server's thread.
    const HttpRoute *routeOf(std::string_view path) const;

    // For the server's thread: a request whose answer comes later, and a stream, so that the end of the
    // server finds them.
    struct Waiting;
    void track(const std::shared_ptr<Waiting> &waiting);
    void track(const std::shared_ptr<HttpStream> &stream);

private:
    HostPort m_address;
    std::vector<HttpRoute> m_routes;
    std::mutex m_trackedMutex;
    std::vector<std::weak_ptr<Waiting>> m_waiting;
    std::vector<std::weak_ptr<HttpStream>> m_streams;
    std::unique_ptr<MHD_Daemon, void (*)(MHD_Daemon *)> m_daemon;
};
