#include "qt/http/httpserver.h"

#include "qt/http/httplistener.h"

#include <algorithm>
#include <cstdlib>
#include <microhttpd.h>
#include <netdb.h>
#include <optional>
#include <stdexcept>
#include <thread>
#include <unistd.h>
#include <utility>

// A request whose answer comes later: the connection is suspended until the answer is in.
struct HttpServer::Waiting
{
    std::mutex mutex;
    MHD_Connection *connection = nullptr;
    bool suspended = false;
    bool replied = false;
    std::optional<HttpResponse> response;

    void reply(HttpResponse answer)
    {
        const std::lock_guard lock(mutex);
        if (replied)
            return;
        replied = true;
        response = std::move(answer);
        if (suspended && connection != nullptr) {
            suspended = false;
            MHD_resume_connection(connection);
        }
    }
};

namespace {
// The server's own refusals, in JSON as every route's.
constexpr std::string_view Json = "application/json";
constexpr std::string_view NotFound = "{\"error\":\"nothing is served at this path\"}\n";
constexpr std::string_view MethodNotAllowed =
    "{\"error\":\"this path takes the methods the Allow header names\"}\n";
constexpr std::string_view BodyTooLarge = "{\"error\":\"the request's body is too long\"}\n";
constexpr std::string_view LengthRequired = "{\"error\":\"a body needs its Content-Length\"}\n";
constexpr std::string_view Stopping = "{\"error\":\"the console is stopping\"}\n";
// How often the end of the server looks whether the requests it answered have taken their answers.
constexpr auto StopPoll = std::chrono::milliseconds(5);
// A stream's pieces handed to the server at a time.
constexpr std::size_t StreamBlockBytes = 4096;

// What the server keeps of one request between its calls.
struct RequestState
{
    const HttpRoute *route = nullptr;
    std::string body;
    std::shared_ptr<HttpServer::Waiting> waiting;
};

MHD_Result queueRefusal(MHD_Connection *connection, unsigned status, std::string_view text,
                        const std::string &allow = {})
{
    // The texts are constants, sent from where they are.
    MHD_Response *response =
        MHD_create_response_from_buffer(text.size(), const_cast<char *>(text.data()), MHD_RESPMEM_PERSISTENT);
    if (response == nullptr)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, Json.data());
    if (!allow.empty())
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, allow.c_str());
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Response *streamResponse(MHD_Connection *connection, const std::shared_ptr<HttpStream> &stream)
{
    stream->attach(connection);
    auto *held = new std::shared_ptr<HttpStream>(stream);
    MHD_Response *response = MHD_create_response_from_callback(
        MHD_SIZE_UNKNOWN, StreamBlockBytes,
        [](void *share, std::uint64_t, char *buffer, std::size_t max) {
            return (*static_cast<std::shared_ptr<HttpStream> *>(share))->read(buffer, max);
        },
        held,
        [](void *share) {
            auto *stream = static_cast<std::shared_ptr<HttpStream> *>(share);
            (*stream)->detach();
            delete stream;
        });
    if (response == nullptr) {
        stream->detach();
        delete held;
    }
    return response;
}

MHD_Response *bodyResponse(const HttpResponse &answer)
{
    // The response holds its share of the body until the last byte is sent; it only reads the bytes.
    auto *held = new std::shared_ptr<const std::string>(answer.body);
    MHD_Response *response = MHD_create_response_from_buffer_with_free_callback_cls(
        answer.body->size(), const_cast<char *>(answer.body->data()),
        [](void *share) { delete static_cast<std::shared_ptr<const std::string> *>(share); }, held);
    if (response == nullptr)
        delete held;
    return response;
}

MHD_Result queueAnswer(MHD_Connection *connection, const HttpResponse &answer)
{
    MHD_Response *response = answer.stream ? streamResponse(connection, answer.stream) : bodyResponse(answer);
    if (response == nullptr)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    for (const auto &[name, value] : answer.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    const MHD_Result queued = MHD_queue_response(connection, answer.status, response);
    MHD_destroy_response(response);
    return queued;
}

std::string header(MHD_Connection *connection, const char *name)
{
    const char *value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value == nullptr ? std::string() : std::string(value);
}

std::string clientAddress(MHD_Connection *connection)
{
    const MHD_ConnectionInfo *info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    char host[NI_MAXHOST] = {};
    if (info == nullptr || info->client_addr == nullptr)
        return {};
    const socklen_t length =
        info->client_addr->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (::getnameinfo(info->client_addr, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
        return {};
    return host;
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

MHD_Result send(HttpServer &server, MHD_Connection *connection, const HttpResponse &answer)
{
    if (answer.stream)
        server.track(answer.stream);
    return queueAnswer(connection, answer);
}

// The headers passed: the request is taken, and its body read.
MHD_Result check(MHD_Connection *connection, const HttpRoute *route, const char *method)
{
    if (route == nullptr)
        return queueRefusal(connection, MHD_HTTP_NOT_FOUND, NotFound);
    if (std::find(route->methods.begin(), route->methods.end(), method) == route->methods.end())
        return queueRefusal(connection, MHD_HTTP_METHOD_NOT_ALLOWED, MethodNotAllowed, allowed(*route));
    if (declaresLongBody(connection))
        return queueRefusal(connection, MHD_HTTP_CONTENT_TOO_LARGE, BodyTooLarge);
    if (MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING))
        return queueRefusal(connection, MHD_HTTP_LENGTH_REQUIRED, LengthRequired);
    return MHD_YES;
}

// The body is in: the route is asked, and its answer sent at once if it gave one, else the connection
// waits for it without holding the server's thread.
MHD_Result dispatch(HttpServer &server, MHD_Connection *connection, RequestState &state, const char *url,
                    const char *method)
{
    auto waiting = std::make_shared<HttpServer::Waiting>();
    waiting->connection = connection;
    state.waiting = waiting;
    server.track(waiting);
    HttpRequest request{method,
                        url,
                        clientAddress(connection),
                        header(connection, MHD_HTTP_HEADER_AUTHORIZATION),
                        header(connection, MHD_HTTP_HEADER_CONTENT_TYPE),
                        std::move(state.body)};
    state.route->answer(request, [waiting](HttpResponse answer) { waiting->reply(std::move(answer)); });
    const std::lock_guard lock(waiting->mutex);
    if (waiting->response)
        return send(server, connection, *waiting->response);
    waiting->suspended = true;
    MHD_suspend_connection(connection);
    return MHD_YES;
}

// Called when the headers are in (state null), for each piece of the body, once the body is in, and
// again after a suspended request is resumed with its answer.
MHD_Result answerRequest(void *cls, MHD_Connection *connection, const char *url, const char *method,
                         const char *, const char *piece, size_t *pieceBytes, void **state)
{
    auto &server = *static_cast<HttpServer *>(cls);
    if (*state == nullptr) {
        const HttpRoute *route = server.routeOf(url);
        const MHD_Result passed = check(connection, route, method);
        if (passed == MHD_YES)
            *state = new RequestState{route, {}, {}};
        return passed;
    }
    auto &request = *static_cast<RequestState *>(*state);
    if (*pieceBytes != 0) {
        // Within the limit by its declared length; the bound holds whatever a client sends.
        request.body.append(piece, std::min(*pieceBytes, HttpServer::BodyLimitBytes - request.body.size()));
        *pieceBytes = 0;
        return MHD_YES;
    }
    if (!request.waiting)
        return dispatch(server, connection, request, url, method);
    const std::lock_guard lock(request.waiting->mutex);
    return request.waiting->response ? send(server, connection, *request.waiting->response) : MHD_YES;
}

void requestEnded(void *, MHD_Connection *, void **state, MHD_RequestTerminationCode)
{
    auto *request = static_cast<RequestState *>(*state);
    if (request == nullptr)
        return;
    if (request->waiting) {
        const std::lock_guard lock(request->waiting->mutex);
        request->waiting->connection = nullptr;
    }
    delete request;
    *state = nullptr;
}
} // namespace

HttpServer::HttpServer(const HostPort &address, std::vector<HttpRoute> routes)
    : m_routes(std::move(routes)), m_daemon(nullptr, &MHD_stop_daemon)
{
    HttpListener listener(address);
    m_address = listener.address();
    const unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME |
                           (listener.ipv6() ? MHD_USE_IPv6 : 0);
    const int socket = listener.release();
    m_daemon.reset(
        MHD_start_daemon(flags, 0, nullptr, nullptr, &answerRequest, this, MHD_OPTION_LISTEN_SOCKET, socket,
                         MHD_OPTION_CONNECTION_LIMIT, ConnectionLimit, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
                         ConnectionsPerAddressLimit, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
                         ConnectionMemoryBytes, MHD_OPTION_CONNECTION_TIMEOUT, unsigned(IdleTimeout.count()),
                         MHD_OPTION_NOTIFY_COMPLETED, &requestEnded, nullptr, MHD_OPTION_END));
    if (!m_daemon) {
        ::close(socket);
        throw std::runtime_error("cannot serve HTTP on " + urlAuthority(m_address) +
                                 ": the HTTP server did not start");
    }
}

HttpServer::~HttpServer()
{
    // A suspended connection must be resumed before the server stops; each is answered, and has a
    // moment to take its answer.
    std::vector<std::shared_ptr<Waiting>> waiting;
    {
        const std::lock_guard lock(m_trackedMutex);
        for (const std::weak_ptr<Waiting> &tracked : m_waiting) {
            if (std::shared_ptr<Waiting> request = tracked.lock())
                waiting.push_back(std::move(request));
        }
        for (const std::weak_ptr<HttpStream> &tracked : m_streams) {
            if (const std::shared_ptr<HttpStream> stream = tracked.lock())
                stream->end();
        }
    }
    for (const std::shared_ptr<Waiting> &request : waiting)
        request->reply({MHD_HTTP_SERVICE_UNAVAILABLE,
                        std::string(Json),
                        std::make_shared<const std::string>(Stopping),
                        {},
                        {}});
    const auto giveUp = std::chrono::steady_clock::now() + StopWait;
    while (std::chrono::steady_clock::now() < giveUp &&
           std::any_of(waiting.begin(), waiting.end(), [](const std::shared_ptr<Waiting> &request) {
               const std::lock_guard lock(request->mutex);
               return request->connection != nullptr;
           }))
        std::this_thread::sleep_for(StopPoll);
}

void HttpServer::track(const std::shared_ptr<Waiting> &waiting)
{
    const std::lock_guard lock(m_trackedMutex);
    std::erase_if(m_waiting, [](const std::weak_ptr<Waiting> &tracked) { return tracked.expired(); });
    m_waiting.push_back(waiting);
}

void HttpServer::track(const std::shared_ptr<HttpStream> &stream)
{
    const std::lock_guard lock(m_trackedMutex);
    std::erase_if(m_streams, [](const std::weak_ptr<HttpStream> &tracked) { return tracked.expired(); });
    m_streams.push_back(stream);
}

std::string HttpServer::origin() const
{
    return "http://" + urlAuthority(m_address);
}

const HttpRoute *HttpServer::routeOf(std::string_view path) const
{
    const auto found = std::find_if(m_routes.begin(), m_routes.end(), [path](const HttpRoute &route) {
        return route.prefix ? path.starts_with(route.path) : route.path == path;
    });
    return found == m_routes.end() ? nullptr : &*found;
}
