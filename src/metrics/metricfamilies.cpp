#include "metrics/metricfamilies.h"

#include "wire/findrow.h"
#include "wire/printable.h"
#include "wire/statusqueries.h"

#include <algorithm>

namespace {
constexpr double SecondsPerHour = 3600;
constexpr double PascalsPerHectopascal = 100;

constexpr std::array<const MetricFamily *, 20> Families = {
    &Metric::Up,
    &Metric::Info,
    &Metric::Power,
    &Metric::PowerState,
    &Metric::InputInfo,
    &Metric::OrientationInfo,
    &Metric::LampModeInfo,
    &Metric::MuteInfo,
    &Metric::LampTime,
    &Metric::Temperature,
    &Metric::Pressure,
    &Metric::StatusLine,
    &Metric::LastReply,
    &Metric::Exchanges,
    &Metric::NoReplies,
    &Metric::Refusals,
    &Metric::Reconnects,
    &Metric::Lent,
    &Metric::ReloadSuccess,
    &Metric::ReloadTime,
};

using Reading = QueryMetric::Reading;

constexpr std::array<QueryMetric, 9> QueryMetrics = {{
    {StatusQuery::OperatingState, &Metric::PowerState, Reading::StateSet},
    {StatusQuery::SelectedInput, &Metric::InputInfo, Reading::Info, 1, MetricLabel::Input},
    {StatusQuery::LampHours, &Metric::LampTime, Reading::Number, SecondsPerHour},
    {StatusQuery::PictureOrientation, &Metric::OrientationInfo, Reading::Info, 1, MetricLabel::Orientation},
    {StatusQuery::Temperatures, &Metric::Temperature, Reading::Temperatures},
    {StatusQuery::LampMode, &Metric::LampModeInfo, Reading::Info, 1, MetricLabel::LampMode},
    {StatusQuery::StatusLine, &Metric::StatusLine, Reading::Info, 1, MetricLabel::Text},
    {StatusQuery::MuteAndSignal, &Metric::MuteInfo, Reading::Info, 1, MetricLabel::Mute},
    {StatusQuery::Pressure, &Metric::Pressure, Reading::Number, PascalsPerHectopascal},
}};
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
    return printable(bytes, limit);
}
