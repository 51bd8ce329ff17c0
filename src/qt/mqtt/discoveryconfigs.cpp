#include "qt/mqtt/discoveryconfigs.h"

#include "mqtt/discovery.h"
#include "mqtt/mqtttopics.h"
#include "mqtt/presskeys.h"
#include "program.h"
#include "watch/powerstate.h"
#include "wire/statusqueries.h"
#include "wire/valuekeys.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
constexpr QLatin1StringView AllAvailable("all");
constexpr QLatin1StringView ProgramName("tavo-console");
constexpr QLatin1StringView SwitchOn("ON");
constexpr QLatin1StringView SwitchOff("OFF");

using Configs = std::vector<std::pair<std::string, QByteArray>>;

QString text(std::string_view view)
{
    return QString::fromUtf8(view.data(), qsizetype(view.size()));
}

// What every entity of a projector's device shares: the device, the program that made the config, and
// availability that needs both the projector and the bridge.
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
        {QStringLiteral("o"), QJsonObject{{QStringLiteral("name"), ProgramName},
                                          {QStringLiteral("sw"), QStringLiteral(TAVO_VERSION)}}},
    };
}

// The switch's state from the power state's word: warming up is on its way on, cooling down on its way
// off; any other word (unknown, fault) is neither, and unreachable is the projector's availability.
QString powerSwitchTemplate()
{
    const auto word = [](PowerState state) { return text(powerStateName(state)); };
    return QStringLiteral(
               "{% if value in ['%1', '%2'] %}%5{% elif value in ['%3', '%4'] %}%6{% else %}None{% endif %}")
        .arg(word(PowerState::On), word(PowerState::Warming), word(PowerState::Standby),
             word(PowerState::Cooling), SwitchOn, SwitchOff);
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
    if (sensor.diagnostic)
        config.insert(QStringLiteral("ent_cat"), text(Discovery::DiagnosticCategory));
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

// Power on and off through the press topic, as the buttons press them.
QJsonObject switchConfig(QJsonObject config, const MqttTopics &topics, const std::string &nodeId,
                         const std::string &projector)
{
    config.insert(QStringLiteral("name"), QStringLiteral("Power"));
    config.insert(QStringLiteral("uniq_id"), text(nodeId + "/" + std::string(Discovery::PowerObject)));
    config.insert(QStringLiteral("cmd_t"), text(topics.press(projector)));
    config.insert(QStringLiteral("pl_on"), text(PowerOnKey));
    config.insert(QStringLiteral("pl_off"), text(PowerOffKey));
    config.insert(QStringLiteral("stat_t"), text(topics.power(projector)));
    config.insert(QStringLiteral("val_tpl"), powerSwitchTemplate());
    config.insert(QStringLiteral("stat_on"), SwitchOn);
    config.insert(QStringLiteral("stat_off"), SwitchOff);
    return config;
}

// The inputs a press selects, chosen through the press topic, shown from the input value.
QJsonObject selectConfig(QJsonObject config, const MqttTopics &topics, const std::string &nodeId,
                         const std::string &projector)
{
    QJsonArray options;
    for (const InputOption &option : inputOptions())
        options.append(text(option.input));
    config.insert(QStringLiteral("name"), QStringLiteral("Input select"));
    config.insert(QStringLiteral("uniq_id"), text(nodeId + "/" + std::string(Discovery::InputObject)));
    config.insert(QStringLiteral("cmd_t"), text(topics.press(projector)));
    config.insert(QStringLiteral("cmd_tpl"), text(inputCommandTemplate()));
    config.insert(QStringLiteral("stat_t"),
                  text(topics.value(projector, valueKey(StatusQuery::SelectedInput))));
    config.insert(QStringLiteral("val_tpl"), text(inputStateTemplate()));
    config.insert(QStringLiteral("options"), options);
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
    const auto asked = [&](std::string_view query) {
        return std::find(queries.begin(), queries.end(), query) != queries.end();
    };
    Configs configs;
    for (const DiscoverySensor &sensor : discoverySensors()) {
        if (asked(sensor.query))
            configs.emplace_back(
                discoveryTopic(prefix, Discovery::SensorComponent, nodeId, discoveryObjectId(sensor)),
                compact(sensorConfig(common, topics, nodeId, projector, sensor)));
    }
    for (const PressKey &press : pressKeys()) {
        if (!press.held)
            configs.emplace_back(discoveryTopic(prefix, Discovery::ButtonComponent, nodeId, press.key),
                                 compact(buttonConfig(common, topics, nodeId, projector, press)));
    }
    if (asked(StatusQuery::OperatingState))
        configs.emplace_back(
            discoveryTopic(prefix, Discovery::SwitchComponent, nodeId, Discovery::PowerObject),
            compact(switchConfig(common, topics, nodeId, projector)));
    if (asked(StatusQuery::SelectedInput))
        configs.emplace_back(
            discoveryTopic(prefix, Discovery::SelectComponent, nodeId, Discovery::InputObject),
            compact(selectConfig(common, topics, nodeId, projector)));
    return configs;
}
