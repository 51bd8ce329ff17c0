#include "qt/commandline/fleetmqtt.h"

namespace {
MqttConnection connection(const MqttOptions &options)
{
    const MqttTopics topics(options.base);
    return {options.url, options.password, options.caFile, topics.bridgeAvailability(),
            std::string(MqttTopics::Offline)};
}

MqttBridgeSettings settings(const MqttOptions &options, std::vector<std::string> queries)
{
    return {options.base, options.discoveryPrefix, options.allowSend, std::move(queries)};
}
} // namespace

FleetMqtt::FleetMqtt(const MqttOptions &options, std::vector<std::string> queries,
                     MqttBridge::Command command, MqttClient::Notice notice, MqttClient::Notice fatal)
    : m_client(connection(options), std::move(notice)),
      m_bridge(m_client, settings(options, std::move(queries)), std::move(command))
{
    m_client.setOnFatal(std::move(fatal));
    m_client.setOnMessage([this](const std::string &topic, const std::string &payload, bool retained) {
        m_bridge.received(topic, payload, retained);
    });
}
