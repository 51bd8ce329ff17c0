#include "mqtt/discovery.h"

#include "wire/decodingtables.h"
#include "wire/statusqueries.h"
#include "wire/valuekeys.h"

#include <array>
#include <cctype>

namespace {
constexpr std::string_view Duration = "duration";
constexpr std::string_view Temperature = "temperature";
constexpr std::string_view AtmosphericPressure = "atmospheric_pressure";
constexpr std::string_view Hours = "h";
constexpr std::string_view Celsius = "°C";
constexpr std::string_view Hectopascals = "hPa";
constexpr std::string_view Measurement = "measurement";
constexpr std::string_view TotalIncreasing = "total_increasing";
constexpr std::string_view None{};
constexpr int Whole = -1;
constexpr bool Diagnostic = true;

// clang-format off
constexpr std::array<DiscoverySensor, 11> Sensors = {{
    {StatusQuery::OperatingState, None, "Power state", Discovery::EnumClass, None, None},
    {StatusQuery::SelectedInput, None, "Input", Discovery::EnumClass, None, None},
    {StatusQuery::LampHours, None, "Lamp time", Duration, Hours, TotalIncreasing, Whole, Diagnostic},
    {StatusQuery::PictureOrientation, None, "Picture orientation", Discovery::EnumClass, None, None},
    {StatusQuery::Temperatures, "temperature_1", "Temperature 1", Temperature, Celsius, Measurement, 0, Diagnostic},
    {StatusQuery::Temperatures, "temperature_2", "Temperature 2", Temperature, Celsius, Measurement, 1, Diagnostic},
    {StatusQuery::Temperatures, "temperature_3", "Temperature 3", Temperature, Celsius, Measurement, 2, Diagnostic},
    {StatusQuery::LampMode, None, "Lamp mode", Discovery::EnumClass, None, None},
    {StatusQuery::StatusLine, None, "Status line", None, None, None},
    {StatusQuery::MuteAndSignal, None, "Mute and signal", Discovery::EnumClass, None, None},
    {StatusQuery::Pressure, None, "Pressure", AtmosphericPressure, Hectopascals, Measurement, Whole, Diagnostic},
}};
// clang-format on

// The fourth input has no button, so no press selects it.
constexpr std::array<InputOption, 3> Inputs = {{
    {"computer_1", "input_pc1"},
    {"computer_2", "input_pc2"},
    {"video", "input_video"},
}};

// Each input as a Jinja item, between "open" and "close": ['computer_1', ...] or {'computer_1': 'input_pc1',
// ...}.
std::string inputItems(char open, char close, bool withPress)
{
    std::string items(1, open);
    for (const InputOption &option : Inputs) {
        if (items.size() > 1)
            items += ", ";
        items.append("'").append(option.input).append("'");
        if (withPress)
            items.append(": '").append(option.press).append("'");
    }
    return items + close;
}

constexpr char HexDigits[] = "0123456789abcdef";
constexpr unsigned HexBase = 16;

void appendEscaped(std::string &id, std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '_')
            id += "__";
        else if (std::isalnum(byte) || c == '-')
            id += c;
        else
            id.append("_").append(1, HexDigits[byte / HexBase]).append(1, HexDigits[byte % HexBase]);
    }
}
} // namespace

std::span<const DiscoverySensor> discoverySensors()
{
    return Sensors;
}

std::span<const InputOption> inputOptions()
{
    return Inputs;
}

std::string inputStateTemplate()
{
    // Home Assistant's select takes "None" for no option, where any other word it does not offer is an error.
    return "{{ value_json if value_json in " + inputItems('[', ']', false) + " else 'None' }}";
}

std::string inputCommandTemplate()
{
    return "{{ " + inputItems('{', '}', true) + "[value] }}";
}

std::string_view discoveryObjectId(const DiscoverySensor &sensor)
{
    return sensor.objectId.empty() ? valueKey(sensor.query) : sensor.objectId;
}

std::string valueTemplate(const DiscoverySensor &sensor)
{
    if (sensor.element < 0)
        return std::string(Discovery::WholeValue);
    return "{{ value_json[" + std::to_string(sensor.element) + "] }}";
}

std::vector<std::string_view> enumOptions(std::string_view query)
{
    std::vector<std::string_view> names;
    if (const DecodingTable *table = findDecodingTable(query)) {
        for (const DecodingRow &row : table->rows)
            names.push_back(row.name);
    }
    return names;
}

std::string discoveryNodeId(std::string_view base, std::string_view projector)
{
    std::string id;
    appendEscaped(id, base);
    id += "_2f"; // the '/' between them, escaped like any other
    appendEscaped(id, projector);
    return id;
}

std::string discoveryStatusTopic(std::string_view prefix)
{
    return std::string(prefix) + "/status";
}

std::string discoveryTopic(std::string_view prefix, std::string_view component, std::string_view nodeId,
                           std::string_view objectId)
{
    std::string topic(prefix);
    topic.append("/").append(component).append("/").append(nodeId).append("/").append(objectId).append(
        "/config");
    return topic;
}
