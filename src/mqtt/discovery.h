#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

// Home Assistant's MQTT discovery, as data: each projector is one device with a sensor per value and a
// button per one-shot press key. The Qt layer writes each config as JSON.
namespace Discovery {
constexpr std::string_view DefaultPrefix = "homeassistant";
constexpr std::string_view Off = "none"; // --mqtt-discovery none
constexpr std::string_view SensorComponent = "sensor";
constexpr std::string_view ButtonComponent = "button";
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
};

// Every sensor a device may have, in the order of StatusQueries; a device has those of the queries asked.
std::span<const DiscoverySensor> discoverySensors();
// Unique within a device.
std::string_view discoveryObjectId(const DiscoverySensor &sensor);
// The template that takes the sensor's state from its value's JSON payload.
std::string valueTemplate(const DiscoverySensor &sensor);
// The states of an enum sensor: the names of its query's decoding table.
std::vector<std::string_view> enumOptions(std::string_view query);
// A projector's device in discovery topics and identifiers: the base and name with '_' written "__" and
// every byte but letters, digits and '-' as "_" and two hex digits, so that different projectors and
// bases never meet.
std::string discoveryNodeId(std::string_view base, std::string_view projector);
// PREFIX/COMPONENT/NODE/OBJECT/config
std::string discoveryTopic(std::string_view prefix, std::string_view component, std::string_view nodeId,
                           std::string_view objectId);
