#pragma once

#include "console/fleetobserver.h"
#include "console/mqtttopics.h"
#include "qt/mqtt/mqttclient.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// What the bridge publishes and takes, besides the broker.
struct MqttBridgeSettings
{
    std::string base{MqttTopics::DefaultBase};
    std::string discoveryPrefix; // empty: no discovery configs
    bool allowSend = false;
    std::vector<std::string> queries; // the status queries the watch asks
};

// The fleet on MQTT: each projector's values as retained topics, its availability and the bridge's,
// Home Assistant discovery configs, and presses and free-form commands back into the fleet, each
// refusal told on the projector's error topic.
class MqttBridge : public FleetObserver
{
public:
    // Queues a command for a projector; nullopt when it is queued, else why not.
    using Command = std::function<std::optional<std::string>(const std::string &projector, std::string text)>;

    MqttBridge(MqttClient &client, MqttBridgeSettings settings, Command command);

    void projectorAdded(const FleetProjector &projector) override;
    void lineChanged(const std::string &projector, bool connected, const std::string &reason) override;
    void exchanged(const std::string &projector, const Exchange &exchange, bool changed) override;
    void roundEnded(const std::string &projector, bool answered) override;
    void commanded(const std::string &projector, const Exchange &exchange) override;

    // A message on a topic the bridge subscribed to.
    void received(const std::string &topic, const std::string &payload, bool retained);

private:
    void publishDiscovery(const std::string &projector);
    void refuse(const std::string &projector, const std::string &topic, const std::string &why);

    MqttClient &m_client;
    MqttBridgeSettings m_settings;
    MqttTopics m_topics;
    Command m_command;
};
