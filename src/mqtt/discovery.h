#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

// Home Assistant's MQTT discovery, as data: each projector is one device with a sensor per value, a
// button per one-shot press key, its power as a switch and its input as a select. The Qt layer writes
// each config as JSON.
namespace Discovery {
constexpr std::string_view DefaultPrefix = "homeassistant";
constexpr std::string_view Off = "none"; // --mqtt-discovery none
constexpr std::string_view SensorComponent = "sensor";
constexpr std::string_view ButtonComponent = "button";
constexpr std::string_view SwitchComponent = "switch";
constexpr std::string_view SelectComponent = "select";
constexpr std::string_view PowerObject = "power";
constexpr std::string_view InputObject = "input_select";
constexpr std::string_view DiagnosticCategory = "diagnostic";
// What Home Assistant says on PREFIX/status when it starts: every config and value is wanted again.
constexpr std::string_view HomeAssistantOnline = "online";
constexpr std::string_view EnumClass = "enum";
constexpr std::string_view WholeValue = "{{ value_json }}";
} // namespace Discovery

// One sensor of a projector's device.
struct DiscoverySensor
{
    std::string_view query;       // the status query whose value it shows
    std::string_view objectId;    // for one element of a value; a whole value's is its value key
    std::string_view name;        // for people
    std::string_view deviceClass; // empty: none
    std::string_view unit;        // empty: none
    std::string_view stateClass;  // empty: none
    int element = -1;             // one element of an array value, or -1 for the whole value
    bool diagnostic = false;      // of the projector's upkeep rather than its use
};

// An input Home Assistant's select offers: its name as the input status shows it, and the key that
// selects it.
struct InputOption
{
    std::string_view input;
    std::string_view press;
};

// Every sensor a device may have, in the order of StatusQueries; a device has those of the queries asked.
std::span<const DiscoverySensor> discoverySensors();
// Unique within a device.
std::string_view discoveryObjectId(const DiscoverySensor &sensor);
// The template that takes the sensor's state from its value's JSON payload.
std::string valueTemplate(const DiscoverySensor &sensor);
// The states of an enum sensor: the names of its query's decoding table.
std::vector<std::string_view> enumOptions(std::string_view query);
// The inputs a press selects, in the order of the input status' decoding table.
std::span<const InputOption> inputOptions();
// The select's state from the input value's JSON payload: an input no press selects is shown as none.
std::string inputStateTemplate();
// The select's command: the press key of the option chosen.
std::string inputCommandTemplate();
// A projector's device in discovery topics and identifiers: the base and name with '_' written "__" and
// every byte but letters, digits and '-' as "_" and two hex digits, so that different projectors and
// bases never meet.
std::string discoveryNodeId(std::string_view base, std::string_view projector);
// PREFIX/status, where Home Assistant says it is online.
std::string discoveryStatusTopic(std::string_view prefix);
// PREFIX/COMPONENT/NODE/OBJECT/config
std::string discoveryTopic(std::string_view prefix, std::string_view component, std::string_view nodeId,
                           std::string_view objectId);
