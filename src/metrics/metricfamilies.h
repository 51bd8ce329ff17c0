#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

// One metric family an exporter serves: its name, its help text, and whether it only ever grows.
struct MetricFamily
{
    enum class Type { Gauge, Counter };
    std::string_view name;
    std::string_view help;
    Type type = Type::Gauge;
};

// The label names beside `projector`, which every series of a projector carries.
namespace MetricLabel {
constexpr std::string_view Projector = "projector";
constexpr std::string_view Endpoint = "endpoint";
constexpr std::string_view Speed = "speed";
constexpr std::string_view Group = "group";
constexpr std::string_view State = "state";
constexpr std::string_view Sensor = "sensor";
constexpr std::string_view Text = "text";
constexpr std::string_view Input = "input";
constexpr std::string_view Orientation = "orientation";
constexpr std::string_view LampMode = "lamp_mode";
constexpr std::string_view Mute = "mute";
} // namespace MetricLabel

// The families, each in base units: seconds, celsius, pascals.
namespace Metric {
constexpr MetricFamily Up{"tavo_projector_up",
                          "1 when the projector's line is open and its last round had an answer, else 0"};
constexpr MetricFamily Info{"tavo_projector_info",
                            "The projector's endpoint, line speed and group (empty for none), always 1"};
constexpr MetricFamily Power{"tavo_projector_power",
                             "Power state from CR0 and the line: 1 for the current state, 0 for the others"};
constexpr MetricFamily PowerState{"tavo_projector_power_state",
                                  "Operating state from CR0: 1 for the current state, 0 for the others"};
constexpr MetricFamily InputInfo{"tavo_projector_input_info", "Selected input from CR1, always 1"};
constexpr MetricFamily OrientationInfo{"tavo_projector_orientation_info",
                                       "Picture orientation from CR4, always 1"};
constexpr MetricFamily LampModeInfo{"tavo_projector_lamp_mode_info", "Lamp mode from CR7, always 1"};
constexpr MetricFamily MuteInfo{"tavo_projector_mute_info", "Mute and signal from CRA, always 1"};
constexpr MetricFamily LampTime{"tavo_projector_lamp_time_seconds", "Lamp time from CR3"};
constexpr MetricFamily Temperature{"tavo_projector_temperature_celsius", "Temperature from CR6, per sensor"};
constexpr MetricFamily Pressure{"tavo_projector_pressure_pascals", "Air pressure from CR PRESSURE"};
constexpr MetricFamily StatusLine{"tavo_projector_status_line_info", "The status line from CR9, always 1"};
constexpr MetricFamily LastReply{"tavo_projector_last_reply_timestamp_seconds",
                                 "When the projector last answered, in seconds since the Unix epoch"};
constexpr MetricFamily Exchanges{"tavo_projector_exchanges_total", "Commands sent to the projector",
                                 MetricFamily::Type::Counter};
constexpr MetricFamily NoReplies{"tavo_projector_no_replies_total",
                                 "Commands whose reply never came within the wait",
                                 MetricFamily::Type::Counter};
constexpr MetricFamily Refusals{"tavo_projector_refusals_total", "Commands the projector refused with '?'",
                                MetricFamily::Type::Counter};
constexpr MetricFamily Lent{"tavo_projector_lent",
                            "1 while the projector's line is lent to a console over raw TCP, else 0"};
constexpr MetricFamily Reconnects{"tavo_projector_reconnects_total",
                                  "Times the projector's line opened again after it was lost or failed",
                                  MetricFamily::Type::Counter};
// The fleet's own series, without a projector.
constexpr MetricFamily ReloadSuccess{"tavo_fleet_reload_success",
                                     "1 when the fleet file was last read well (at the start or on SIGHUP), "
                                     "0 when the last reload was refused and the running fleet kept"};
constexpr MetricFamily ReloadTime{"tavo_fleet_reload_timestamp_seconds",
                                  "When the fleet file was last read well, in seconds since the Unix epoch"};
} // namespace Metric

// Every family, in the order an exporter registers them.
std::span<const MetricFamily *const> metricFamilies();

// How a status query's value becomes series.
struct QueryMetric
{
    enum class Reading {
        StateSet,     // one series per row of the query's decoding table, label `state`
        Number,       // one series, the number times scale
        Temperatures, // one series per sensor, label `sensor`
        Info,         // one series whose label `label` is the value: a table row's name or the reply's text
    };
    std::string_view query;
    const MetricFamily *family = nullptr;
    Reading reading = Reading::StateSet;
    double scale = 1;            // from the console's unit to the family's base unit
    std::string_view label = {}; // the label that carries an Info reading's value
};

// The metric of a status query (as Exchange::sent names it), or nullptr.
const QueryMetric *findQueryMetric(std::string_view query);

// CR6's three sensors, in the order of its reading.
constexpr std::array<std::string_view, 3> TemperatureSensors = {"s1", "s2", "s3"};

// The most characters of a label value taken from a projector's reply: one that sends its longest text
// every round must not grow a scrape without end.
constexpr std::size_t LabelValueLimit = 80;

// A label value from bytes of any kind: printable ASCII kept, every other byte \xHH, cut at limit
// characters, so that it is valid UTF-8 of bounded size whatever the peer or the file held.
std::string labelValue(std::string_view bytes, std::size_t limit = LabelValueLimit);
