#pragma once

#include "metrics/metricssink.h"
#include "watch/fleetobserver.h"

#include <functional>
#include <map>
#include <span>
#include <string>

// Turns what a fleet tells into the metrics of its projectors: whether each is up, its power state, what
// it last said, how its exchanges went, and whether its line is lent. A projector that has never answered
// has no value series at all, not zeros that look like readings, only its power state: unknown. A reading
// the console cannot read keeps the last one it could.
// An info family holds one series per projector, its value a label: the old series goes when it changes.
class FleetMetrics : public FleetObserver
{
public:
    // Seconds since the Unix epoch, for the time of the last reply.
    using WallClock = std::function<double()>;

    explicit FleetMetrics(MetricsSink &sink, WallClock now = systemClock);

    void projectorAdded(const FleetProjector &projector) override;
    void lineChanged(const std::string &projector, bool connected, const std::string &reason) override;
    void exchanged(const std::string &projector, const Exchange &exchange, bool changed) override;
    void roundEnded(const std::string &projector, bool answered) override;
    void commanded(const std::string &projector, const Exchange &exchange) override;
    void powerChanged(const std::string &projector, PowerState state) override;
    void lineLent(const std::string &projector, const std::string &to) override;
    void projectorRemoved(const std::string &projector) override;
    void fleetRead(bool good) override;

    static double systemClock();

private:
    // What is kept of a projector between its callbacks.
    struct Seen
    {
        bool connected = false;
        bool everConnected = false;
        std::map<std::string_view, std::string> infoValues; // per info family, the value its series carries
    };

    void count(const std::string &projector, const Exchange &exchange);
    void record(const std::string &projector, Seen &seen, const Exchange &exchange);
    // A state set: one series per state, 1 for the current one.
    void recordStates(const MetricFamily &family, const std::string &projector,
                      std::span<const std::string_view> states, std::string_view current);
    void recordInfo(const QueryMetric &metric, const std::string &projector, Seen &seen,
                    const std::string *value);
    static MetricLabels labels(const std::string &projector);

    MetricsSink &m_sink;
    WallClock m_now;
    std::map<std::string, Seen> m_projectors;
};
