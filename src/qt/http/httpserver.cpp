#include "qt/http/httpserver.h"

#include "qt/http/httplistener.h"

#include <algorithm>
#include <cstdlib>
#include <microhttpd.h>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace {
constexpr std::string_view PlainText = "text/plain; charset=utf-8";
constexpr std::string_view NotFound = "Not found\n";
constexpr std::string_view MethodNotAllowed = "Method not allowed\n";
constexpr std::string_view BodyTooLarge = "Request body too large\n";
constexpr std::string_view LengthRequired = "A body needs its Content-Length\n";

MHD_Result queueText(MHD_Connection *connection, unsigned status, std::string_view text,
                     const std::string &allow = {})
{
    // The texts are constants, sent from where they are.
    MHD_Response *response =
        MHD_create_response_from_buffer(text.size(), const_cast<char *>(text.data()), MHD_RESPMEM_PERSISTENT);
    if (response == nullptr)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, PlainText.data());
    if (!allow.empty())
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, allow.c_str());
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result queueAnswer(MHD_Connection *connection, const HttpResponse &answer)
{
    // The response holds its share of the body until the last byte is sent; it only reads the bytes.
    auto *held = new std::shared_ptr<const std::string>(answer.body);
    MHD_Response *response = MHD_create_response_from_buffer_with_free_callback_cls(
        answer.body->size(), const_cast<char *>(answer.body->data()),
        [](void *share) { delete static_cast<std::shared_ptr<const std::string> *>(share); }, held);
    if (response == nullptr) {
        delete held;
        return MHD_NO;
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    const MHD_Result queued = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return queued;
}

bool declaresLongBody(MHD_Connection *connection)
{
    const char *length =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    return length != nullptr && std::strtoull(length, nullptr, 10) > HttpServer::BodyLimitBytes;
}

std::string allowed(const HttpRoute &route)
{
    std::string list;
    for (const std::string &method : route.methods)
        list += (list.empty() ? "" : ", ") + method;
    return list;
}

// Called when the headers are in (state null), for each piece of the body, and once the body is in.
// A body is read only when its length is declared and within the limit, so it is bounded at once.
MHD_Result answerRequest(void *server, MHD_Connection *connection, const char *url, const char *method,
                         const char *, const char *, size_t *bodyPieceBytes, void **state)
{
    const HttpRoute *route = static_cast<const HttpServer *>(server)->routeOf(url);
    if (*state == nullptr) {
        if (route == nullptr)
            return queueText(connection, MHD_HTTP_NOT_FOUND, NotFound);
        if (std::find(route->methods.begin(), route->methods.end(), method) == route->methods.end())
            return queueText(connection, MHD_HTTP_METHOD_NOT_ALLOWED, MethodNotAllowed, allowed(*route));
        if (declaresLongBody(connection))
            return queueText(connection, MHD_HTTP_CONTENT_TOO_LARGE, BodyTooLarge);
        if (MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING))
            return queueText(connection, MHD_HTTP_LENGTH_REQUIRED, LengthRequired);
        // Any mark will do: the request has passed.
        *state = server;
        return MHD_YES;
    }
    // No route reads a body yet.
    if (*bodyPieceBytes != 0) {
        *bodyPieceBytes = 0;
        return MHD_YES;
    }
    return queueAnswer(connection, route->answer({method, url}));
}
} // namespace

HttpServer::HttpServer(const HostPort &address, std::vector<HttpRoute> routes)
    : m_routes(std::move(routes)), m_daemon(nullptr, &MHD_stop_daemon)
{
    HttpListener listener(address);
    m_address = listener.address();
    const unsigned flags =
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC | (listener.ipv6() ? MHD_USE_IPv6 : 0);
    const int socket = listener.release();
    m_daemon.reset(MHD_start_daemon(
        flags, 0, nullptr, nullptr, &answerRequest, this, MHD_OPTION_LISTEN_SOCKET, socket,
        MHD_OPTION_CONNECTION_LIMIT, ConnectionLimit, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
        ConnectionsPerAddressLimit, MHD_OPTION_CONNECTION_MEMORY_LIMIT, ConnectionMemoryBytes,
        MHD_OPTION_CONNECTION_TIMEOUT, unsigned(IdleTimeout.count()), MHD_OPTION_END));
    if (!m_daemon) {
        ::close(socket);
        throw std::runtime_error("cannot serve HTTP on " + urlAuthority(m_address) +
                                 ": the HTTP server did not start");
    }
}

HttpServer::~HttpServer() = default;

std::string HttpServer::origin() const
{
    return "http://" + urlAuthority(m_address);
}

const HttpRoute *HttpServer::routeOf(std::string_view path) const
{
    const auto found = std::find_if(m_routes.begin(), m_routes.end(),
                                    [path](const HttpRoute &route) { return route.path == path; });
    return found == m_routes.end() ? nullptr : &*found;
}
