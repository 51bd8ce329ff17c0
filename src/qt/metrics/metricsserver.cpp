#include "qt/metrics/metricsserver.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include <QHostAddress>
#include <QString>

namespace {
// Port 0 takes a free port, which port() tells.
constexpr std::uint16_t LowestMetricsPort = 0;
constexpr std::string_view Loopback = "127.0.0.1";
constexpr std::string_view LocalHostName = "localhost";

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

std::uint16_t MetricsServer::port() const
{
    const std::vector<int> ports = m_exposer->GetListeningPorts();
    return ports.empty() ? 0 : std::uint16_t(ports.front());
}
