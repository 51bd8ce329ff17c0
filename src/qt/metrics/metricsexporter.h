#pragma once

#include "metrics/fleetmetrics.h"
#include "qt/metrics/metricsserver.h"
#include "qt/metrics/prometheussink.h"

// What --http adds to a fleet watch: an observer that keeps the fleet's metrics in a registry,
// served over HTTP from the moment it is made, beside the routes given. The registry comes first, so the
// metrics and the server built on it find it made, and the server goes first.
class MetricsExporter : private PrometheusSink, public FleetMetrics
{
public:
    // Binds at once; throws std::runtime_error with one line in the console's words when it cannot.
    MetricsExporter(const HostPort &address, std::vector<HttpRoute> routes)
        : FleetMetrics(static_cast<PrometheusSink &>(*this)),
          m_server(address, static_cast<PrometheusSink &>(*this), std::move(routes))
    {
    }

    const MetricsServer &server() const { return m_server; }

private:
    MetricsServer m_server;
};
