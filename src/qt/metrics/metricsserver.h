#pragma once

#include "link/hostport.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <prometheus/exposer.h>
#include <prometheus/registry.h>
#include <string>
#include <string_view>

// The fleet's metrics served over HTTP at /metrics by prometheus-cpp's own server, on threads of its
// own: a scrape reads the registry's last values and never waits on the event loop or a projector.
// Any other path gets 404.
class MetricsServer
{
public:
    // Threads serving scrapes; a client that holds one is cut off after RequestTimeout.
    static constexpr std::size_t ServerThreads = 4;
    static constexpr std::chrono::milliseconds RequestTimeout{2000};
    static constexpr std::string_view Path = "/metrics";
    // How often the server is knocked at while it stops.
    static constexpr std::chrono::milliseconds KnockPause{20};

    // Serves the registry at once; throws std::runtime_error with one line in the console's words when
    // the address cannot be bound.
    MetricsServer(const HostPort &address, const std::shared_ptr<prometheus::Registry> &registry);
    // Stops serving at once, not when the server's listening thread next looks (up to 2 s).
    ~MetricsServer();
    MetricsServer(const MetricsServer &) = delete;
    MetricsServer &operator=(const MetricsServer &) = delete;

    // The port taken.
    std::uint16_t port() const;
    // Where a scraper finds the metrics: http://HOST:PORT/metrics, with the port taken.
    std::string url() const;

private:
    HostPort m_address;
    std::unique_ptr<prometheus::Exposer> m_exposer;
};

// --metrics' value: PORT alone binds the loopback address only, HOST:PORT (HOST an IP address or
// localhost, [IPV6] in brackets) that address. Throws std::invalid_argument with the reason alone.
HostPort parseMetricsAddress(std::string_view text);
