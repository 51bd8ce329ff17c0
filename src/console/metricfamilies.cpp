#include "console/metricfamilies.h"

#include "wire/findrow.h"
#include "wire/statusqueries.h"

#include <algorithm>

namespace {
constexpr double SecondsPerHour = 3600;
constexpr double PascalsPerHectopascal = 100;

constexpr std::array<const MetricFamily *, 16> Families = {
    &Metric::Up,
    &Metric::Info,
    &Metric::PowerState,
    &Metric::InputState,
    &Metric::OrientationState,
    &Metric::LampModeState,
    &Metric::MuteState,
    &Metric::LampTime,
    &Metric::Temperature,
    &Metric::Pressure,
    &Metric::StatusLine,
    &Metric::LastReply,
    &Metric::Exchanges,
    &Metric::NoReplies,
    &Metric::Refusals,
    &Metric::Reconnects,
};

using Reading = QueryMetric::Reading;

constexpr std::array<QueryMetric, 9> QueryMetrics = {{
    {StatusQuery::OperatingState, &Metric::PowerState, Reading::StateSet},
    {StatusQuery::SelectedInput, &Metric::InputState, Reading::StateSet},
    {StatusQuery::LampHours, &Metric::LampTime, Reading::Number, SecondsPerHour},
    {StatusQuery::PictureOrientation, &Metric::OrientationState, Reading::StateSet},
    {StatusQuery::Temperatures, &Metric::Temperature, Reading::Temperatures},
    {StatusQuery::LampMode, &Metric::LampModeState, Reading::StateSet},
    {StatusQuery::StatusLine, &Metric::StatusLine, Reading::InfoText},
    {StatusQuery::MuteAndSignal, &Metric::MuteState, Reading::StateSet},
    {StatusQuery::Pressure, &Metric::Pressure, Reading::Number, PascalsPerHectopascal},
}};

constexpr char FirstPrintable = ' ';
constexpr char LastPrintable = '~';
constexpr char Unprintable = '?';
} // namespace

std::span<const MetricFamily *const> metricFamilies()
{
    return Families;
}

const QueryMetric *findQueryMetric(std::string_view query)
{
    return findRow(std::span<const QueryMetric>(QueryMetrics), &QueryMetric::query, query);
}

std::string labelValue(std::string_view bytes, std::size_t limit)
{
    std::string value(bytes.substr(0, limit));
    std::replace_if(
        value.begin(), value.end(), [](char c) { return c < FirstPrintable || c > LastPrintable; },
        Unprintable);
    return value;
}
