#include "qt/metrics/metricsserver.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QHostAddress>
#include <QString>

namespace {
// Port 0 takes a free port, which port() tells.
constexpr std::uint16_t LowestMetricsPort = 0;
constexpr std::string_view Loopback = "127.0.0.1";
constexpr std::string_view LocalHostName = "localhost";

// A connection opened and closed at once: the listening thread wakes from its wait and sees it is to stop.
void knock(const HostPort &address)
{
    // An address of every interface is reached on loopback.
    const QHostAddress any(QString::fromStdString(address.host));
    const QHostAddress host = any == QHostAddress::AnyIPv4   ? QHostAddress(QHostAddress::LocalHost)
                              : any == QHostAddress::AnyIPv6 ? QHostAddress(QHostAddress::LocalHostIPv6)
                                                             : any;
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (host.protocol() == QAbstractSocket::IPv6Protocol) {
        auto &six = reinterpret_cast<sockaddr_in6 &>(storage);
        six.sin6_family = AF_INET6;
        six.sin6_port = htons(address.port);
        const Q_IPV6ADDR bytes = host.toIPv6Address();
        std::memcpy(&six.sin6_addr, &bytes, sizeof six.sin6_addr);
        length = sizeof six;
    } else {
        auto &four = reinterpret_cast<sockaddr_in &>(storage);
        four.sin_family = AF_INET;
        four.sin_port = htons(address.port);
        four.sin_addr.s_addr = htonl(host.toIPv4Address());
        length = sizeof four;
    }
    // Never blocking: a listener whose queue is full would hold a blocking connect for minutes.
    const int socket = ::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0)
        return;
    if (::connect(socket, reinterpret_cast<const sockaddr *>(&storage), length) != 0 &&
        errno == EINPROGRESS) {
        pollfd connecting{socket, POLLOUT, 0};
        static_cast<void>(::poll(&connecting, 1, int(MetricsServer::KnockPause.count())));
    }
    ::close(socket);
}

// HOST:PORT as the HTTP server's listening_ports takes it: an IPv6 address in brackets.
std::string listeningPort(const HostPort &address)
{
    const bool ipv6 = address.host.find(':') != std::string::npos;
    const std::string host = ipv6 ? "[" + address.host + "]" : address.host;
    return host + ":" + std::to_string(address.port);
}
} // namespace

HostPort parseMetricsAddress(std::string_view text)
{
    const bool portAlone =
        !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    HostPort address =
        parseHostPort(portAlone ? std::string(Loopback) + ":" + std::string(text) : text, LowestMetricsPort);
    if (address.host == LocalHostName)
        address.host = Loopback;
    if (QHostAddress(QString::fromStdString(address.host)).isNull())
        throw std::invalid_argument("'" + address.host + "' is no IP address");
    return address;
}

MetricsServer::MetricsServer(const HostPort &address, const std::shared_ptr<prometheus::Registry> &registry)
    : m_address(address)
{
    const std::vector<std::string> options{
        "listening_ports",    listeningPort(address),
        "num_threads",        std::to_string(ServerThreads),
        "request_timeout_ms", std::to_string(RequestTimeout.count()),
    };
    try {
        m_exposer = std::make_unique<prometheus::Exposer>(options);
    } catch (const std::exception &) {
        throw std::runtime_error("cannot serve metrics on " + listeningPort(address) +
                                 ": the port is in use or the address is not this machine's");
    }
    // The HTTP server hands a path to the handler of any path it begins with ("/metricsx",
    // "/metrics/a"); '$' ties it to the path alone.
    m_exposer->RegisterCollectable(registry, std::string(Path) + "$");
}

MetricsServer::~MetricsServer()
{
    const HostPort taken{m_address.host, port()};
    std::atomic<bool> stopped = false;
    std::thread knocker([&] {
        while (!stopped) {
            knock(taken);
            std::this_thread::sleep_for(KnockPause);
        }
    });
    m_exposer.reset();
    stopped = true;
    knocker.join();
}

std::uint16_t MetricsServer::port() const
{
    const std::vector<int> ports = m_exposer->GetListeningPorts();
    return ports.empty() ? 0 : std::uint16_t(ports.front());
}

std::string MetricsServer::url() const
{
    return "http://" + listeningPort({m_address.host, port()}) + std::string(Path);
}
