#pragma once

#include "console/fleetmetrics.h"
#include "qt/metrics/metricsserver.h"
#include "qt/metrics/prometheussink.h"

// What --metrics adds to a fleet watch: the fleet's metrics, kept as its observer tells them and
// served over HTTP from the moment it is made.
class MetricsExporter
{
public:
    // Binds at once; throws std::runtime_error with one line in the console's words when it cannot.
    explicit MetricsExporter(const HostPort &address) : m_server(address, m_sink.registry()) {}

    FleetObserver &observer() { return m_metrics; }
    const MetricsServer &server() const { return m_server; }

private:
    PrometheusSink m_sink;
    FleetMetrics m_metrics{m_sink};
    MetricsServer m_server;
};
