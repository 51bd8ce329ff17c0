#pragma once

#include "mqtt/mqtttopics.h"
#include "qt/mqtt/mqttclient.h"
#include "qt/mqtt/mqttoptions.h"
#include "watch/fleetobserver.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// The fleet on MQTT: each projector's values as retained topics, its availability and the bridge's,
// Home Assistant discovery configs (all sent again when Home Assistant comes online), and presses (to a
// projector or a group) and free-form commands back into the fleet: each one held or not sent is told on
// the projector's reply topic, each refusal on its error topic or the group's. It connects as soon as
// it is made, and its end sets the bridge offline and disconnects cleanly, waiting for that no longer than
// MqttClient::StopWait.
class MqttBridge : public FleetObserver
{
public:
    // Gives a press or command to a projector's watch, and what came of it there.
    using Command = std::function<PressOutcome(const std::string &projector, std::string text)>;

    // queries: those the watch asks. fatal: the broker refused the console, or TLS failed, before it was
    // ever connected.
    MqttBridge(const MqttOptions &options, std::vector<std::string> queries, Command command,
               MqttClient::Notice notice, MqttClient::Notice fatal);
    ~MqttBridge() override;
    MqttBridge(const MqttBridge &) = delete;
    MqttBridge &operator=(const MqttBridge &) = delete;

    void projectorAdded(const FleetProjector &projector) override;
    void lineChanged(const std::string &projector, bool connected, const std::string &reason) override;
    void exchanged(const std::string &projector, const Exchange &exchange, bool changed) override;
    void roundEnded(const std::string &projector, bool answered) override;
    void commanded(const std::string &projector, const Exchange &exchange) override;
    void powerChanged(const std::string &projector, PowerState state) override;
    void heldPressEnded(const std::string &projector, const PressOutcome &outcome) override;
    // Clears every retained topic of the projector, its configs included, on the broker.
    void projectorRemoved(const std::string &projector) override;

    bool connected() const { return m_client.connected(); }

private:
    void received(const std::string &topic, const std::string &payload, bool retained);
    void publishDiscovery(const std::string &projector);
    void pressGroup(const std::string &group, const std::string &topic, const std::string &text);
    // Every retained topic the bridge may have given the projector.
    std::vector<std::string> retainedTopics(const std::string &projector) const;
    void refuse(const std::string &errorTopic, const std::string &topic, const std::string &why);
    // A press that was not sent: held or already on the reply topic, dropped on the error topic.
    void answer(const std::string &projector, const std::string &topic, const PressOutcome &outcome);

    MqttOptions m_options;
    std::vector<std::string> m_queries;
    MqttTopics m_topics;
    MqttClient m_client;
    Command m_command;
    std::map<std::string, std::string> m_groups; // each projector's group; empty: none
};
