#include "qt/mqtt/discoveryconfigs.h"

#include "mqtt/discovery.h"
#include "mqtt/mqtttopics.h"
#include "mqtt/presskeys.h"
#include "program.h"
#include "wire/valuekeys.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr QLatin1StringView AllAvailable("all");

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

// What every entity of a projector's device shares: the device, and availability that needs both the
// projector and the bridge.
QJsonObject commonConfig(const MqttTopics &topics, const std::string &nodeId, const std::string &projector)
{
    return QJsonObject{
        {QStringLiteral("avty"),
         QJsonArray{QJsonObject{{QStringLiteral("t"), text(topics.availability(projector))}},
                    QJsonObject{{QStringLiteral("t"), text(topics.bridgeAvailability())}}}},
        {QStringLiteral("avty_mode"), AllAvailable},
        {QStringLiteral("dev"), QJsonObject{{QStringLiteral("ids"), QJsonArray{text(nodeId)}},
                                            {QStringLiteral("name"), text(projector)},
                                            {QStringLiteral("sw"), QStringLiteral(TAVO_VERSION)}}},
    };
}

QJsonObject sensorConfig(QJsonObject config, const MqttTopics &topics, const std::string &nodeId,
                         const std::string &projector, const DiscoverySensor &sensor)
{
    config.insert(QStringLiteral("name"), text(sensor.name));
    config.insert(QStringLiteral("uniq_id"), text(nodeId + "/" + std::string(discoveryObjectId(sensor))));
    config.insert(QStringLiteral("stat_t"), text(topics.value(projector, valueKey(sensor.query))));
    config.insert(QStringLiteral("val_tpl"), text(valueTemplate(sensor)));
    if (!sensor.deviceClass.empty())
        config.insert(QStringLiteral("dev_cla"), text(sensor.deviceClass));
    if (!sensor.unit.empty())
        config.insert(QStringLiteral("unit_of_meas"), text(sensor.unit));
    if (!sensor.stateClass.empty())
        config.insert(QStringLiteral("stat_cla"), text(sensor.stateClass));
    if (sensor.deviceClass == Discovery::EnumClass) {
        QJsonArray options;
        for (const std::string_view option : enumOptions(sensor.query))
            options.append(text(option));
        config.insert(QStringLiteral("options"), options);
    }
    return config;
}

QJsonObject buttonConfig(QJsonObject config, const MqttTopics &topics, const std::string &nodeId,
                         const std::string &projector, const PressKey &press)
{
    config.insert(QStringLiteral("name"), text(press.name));
    config.insert(QStringLiteral("uniq_id"), text(nodeId + "/" + std::string(press.key)));
    config.insert(QStringLiteral("cmd_t"), text(topics.press(projector)));
    config.insert(QStringLiteral("pl_prs"), text(press.key));
    return config;
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
} // namespace

std::vector<std::pair<std::string, QByteArray>> discoveryConfigs(const std::string &prefix,
                                                                 const std::string &base,
                                                                 const std::string &projector,
                                                                 const std::vector<std::string> &queries)
{
    const MqttTopics topics(base);
    const std::string nodeId = discoveryNodeId(base, projector);
    const QJsonObject common = commonConfig(topics, nodeId, projector);
    std::vector<std::pair<std::string, QByteArray>> configs;
    for (const DiscoverySensor &sensor : discoverySensors()) {
        if (std::find(queries.begin(), queries.end(), sensor.query) == queries.end())
            continue;
        configs.emplace_back(
            discoveryTopic(prefix, Discovery::SensorComponent, nodeId, discoveryObjectId(sensor)),
            compact(sensorConfig(common, topics, nodeId, projector, sensor)));
    }
    for (const PressKey &press : pressKeys()) {
        if (press.held)
            continue;
        configs.emplace_back(discoveryTopic(prefix, Discovery::ButtonComponent, nodeId, press.key),
                             compact(buttonConfig(common, topics, nodeId, projector, press)));
    }
    return configs;
}
