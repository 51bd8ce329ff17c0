#pragma once

#include "qt/commandline/mqttbridge.h"
#include "qt/commandline/mqttoptions.h"
#include "qt/mqtt/mqttclient.h"

#include <functional>
#include <string>
#include <vector>

// The fleet watch's MQTT side as the command line asks for it: the broker's client with the bridge's
// availability as its will, and the bridge over it, presses handed to the fleet.
class FleetMqtt
{
public:
    // fatal: the broker refused the console, or TLS failed, before it was ever connected.
    FleetMqtt(const MqttOptions &options, std::vector<std::string> queries, MqttBridge::Command command,
              MqttClient::Notice notice, MqttClient::Notice fatal);

    FleetObserver &observer() { return m_bridge; }
    void start() { m_client.start(); }
    // Sets the bridge offline, disconnects cleanly, then calls done; within MqttClient::StopWait.
    void stop(std::function<void()> done) { m_client.stop(std::move(done)); }
    bool connected() const { return m_client.connected(); }

private:
    MqttClient m_client;
    MqttBridge m_bridge;
};
