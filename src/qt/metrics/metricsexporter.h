#pragma once

#include "metrics/fleetmetrics.h"
#include "qt/metrics/metricsserver.h"
#include "qt/metrics/prometheussink.h"

// What --http adds to a fleet watch: an observer that keeps the fleet's metrics in a registry,
// served over HTTP from the moment it is made. The registry comes first, so the metrics and the server
// built on it find it made, and the server goes first.
class MetricsExporter : private PrometheusSink, public FleetMetrics
{
public:
    // Binds at once; throws std::runtime_error with one line in the console's words when it cannot.
    explicit MetricsExporter(const HostPort &address)
        : FleetMetrics(static_cast<PrometheusSink &>(*this)),
          m_server(address, static_cast<PrometheusSink &>(*this))
    {
    }

    const MetricsServer &server() const { return m_server; }

private:
    MetricsServer m_server;
};
