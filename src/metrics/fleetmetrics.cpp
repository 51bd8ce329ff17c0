#include "metrics/fleetmetrics.h"

#include "wire/decodingtables.h"

#include <chrono>
#include <optional>
#include <variant>
#include <vector>

namespace {
// The line speed of settings such as "19200,N,8,1".
std::string speedOf(const std::string &settings)
{
    return settings.substr(0, settings.find(','));
}
} // namespace

FleetMetrics::FleetMetrics(MetricsSink &sink, WallClock now) : m_sink(sink), m_now(std::move(now)) {}

double FleetMetrics::systemClock()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

MetricLabels FleetMetrics::labels(const std::string &projector)
{
    return {{std::string(MetricLabel::Projector), projector}};
}

void FleetMetrics::projectorAdded(const FleetProjector &projector)
{
    m_projectors[projector.name] = {};
    MetricLabels info = labels(projector.name);
    // The fleet file bounds the endpoint's length; a long device path is kept whole.
    info.emplace(MetricLabel::Endpoint, labelValue(projector.endpoint.text, std::string::npos));
    info.emplace(MetricLabel::Speed, speedOf(projector.settings));
    info.emplace(MetricLabel::Group, projector.group);
    m_sink.set(Metric::Info, info, 1);
    m_sink.set(Metric::Up, labels(projector.name), 0);
    m_sink.set(Metric::Lent, labels(projector.name), 0);
    for (const MetricFamily *counter :
         {&Metric::Exchanges, &Metric::NoReplies, &Metric::Refusals, &Metric::Reconnects})
        m_sink.add(*counter, labels(projector.name), 0);
    powerChanged(projector.name, PowerState::Unknown);
}

void FleetMetrics::lineChanged(const std::string &projector, bool connected, const std::string &)
{
    Seen &seen = m_projectors[projector];
    if (connected && seen.everConnected)
        m_sink.add(Metric::Reconnects, labels(projector), 1);
    seen.everConnected = seen.everConnected || connected;
    seen.connected = connected;
    if (!connected)
        m_sink.set(Metric::Up, labels(projector), 0);
}

void FleetMetrics::exchanged(const std::string &projector, const Exchange &exchange, bool)
{
    count(projector, exchange);
    if (exchange.answered && !exchange.refused)
        record(projector, m_projectors[projector], exchange);
}

void FleetMetrics::roundEnded(const std::string &projector, bool answered)
{
    m_sink.set(Metric::Up, labels(projector), m_projectors[projector].connected && answered ? 1 : 0);
}

void FleetMetrics::commanded(const std::string &projector, const Exchange &exchange)
{
    count(projector, exchange);
}

void FleetMetrics::powerChanged(const std::string &projector, PowerState state)
{
    recordStates(Metric::Power, projector, powerStateNames(), powerStateName(state));
}

void FleetMetrics::lineLent(const std::string &projector, const std::string &to)
{
    m_sink.set(Metric::Lent, labels(projector), to.empty() ? 0 : 1);
}

void FleetMetrics::projectorRemoved(const std::string &projector)
{
    m_projectors.erase(projector);
    m_sink.removeProjector(projector);
}

void FleetMetrics::fleetRead(bool good)
{
    m_sink.set(Metric::ReloadSuccess, {}, good ? 1 : 0);
    if (good)
        m_sink.set(Metric::ReloadTime, {}, m_now());
}

void FleetMetrics::count(const std::string &projector, const Exchange &exchange)
{
    m_sink.add(Metric::Exchanges, labels(projector), 1);
    if (!exchange.answered)
        m_sink.add(Metric::NoReplies, labels(projector), 1);
    if (exchange.refused)
        m_sink.add(Metric::Refusals, labels(projector), 1);
    if (exchange.answered)
        m_sink.set(Metric::LastReply, labels(projector), m_now());
}

void FleetMetrics::record(const std::string &projector, Seen &seen, const Exchange &exchange)
{
    const QueryMetric *metric = findQueryMetric(exchange.sent);
    if (!metric || !exchange.value)
        return;
    const StatusValue &value = *exchange.value;
    switch (metric->reading) {
    case QueryMetric::Reading::StateSet:
        // A reply no row knows is no state: every state 0.
        if (const DecodingTable *table = findDecodingTable(metric->query)) {
            std::vector<std::string_view> states;
            for (const DecodingRow &row : table->rows)
                states.push_back(row.name);
            const std::string *current = std::get_if<std::string>(&value);
            recordStates(*metric->family, projector, states,
                         current ? std::string_view(*current) : std::string_view());
        }
        break;
    case QueryMetric::Reading::Number:
        if (const double *number = std::get_if<double>(&value))
            m_sink.set(*metric->family, labels(projector), *number * metric->scale);
        break;
    case QueryMetric::Reading::Temperatures:
        if (const auto *degrees = std::get_if<std::vector<double>>(&value)) {
            for (std::size_t i = 0; i < TemperatureSensors.size() && i < degrees->size(); ++i) {
                MetricLabels sensor = labels(projector);
                sensor.emplace(MetricLabel::Sensor, TemperatureSensors[i]);
                m_sink.set(*metric->family, sensor, (*degrees)[i] * metric->scale);
            }
        }
        break;
    case QueryMetric::Reading::Info:
        // A reply no row knows has no current value: no series, as a state set would have none at 1.
        recordInfo(*metric, projector, seen, std::get_if<std::string>(&value));
        break;
    }
}

void FleetMetrics::recordStates(const MetricFamily &family, const std::string &projector,
                                std::span<const std::string_view> states, std::string_view current)
{
    for (const std::string_view name : states) {
        MetricLabels state = labels(projector);
        state.emplace(MetricLabel::State, name);
        m_sink.set(family, state, name == current ? 1 : 0);
    }
}

void FleetMetrics::recordInfo(const QueryMetric &metric, const std::string &projector, Seen &seen,
                              const std::string *value)
{
    const std::string label(metric.label);
    const auto old = seen.infoValues.find(metric.family->name);
    const std::optional<std::string> current =
        value ? std::optional<std::string>(labelValue(*value)) : std::nullopt;
    if (old != seen.infoValues.end() && old->second == current)
        return;
    MetricLabels series = labels(projector);
    if (old != seen.infoValues.end()) {
        series[label] = old->second;
        m_sink.remove(*metric.family, series);
        seen.infoValues.erase(old);
    }
    if (!current)
        return;
    series[label] = *current;
    m_sink.set(*metric.family, series, 1);
    seen.infoValues.emplace(metric.family->name, *current);
}
