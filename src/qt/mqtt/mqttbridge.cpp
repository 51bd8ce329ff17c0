#include "qt/mqtt/mqttbridge.h"

#include "mqtt/discovery.h"
#include "mqtt/presskeys.h"
#include "mqtt/remotecommand.h"
#include "qt/exchange/exchangeoutput.h"
#include "qt/mqtt/discoveryconfigs.h"
#include "wire/printable.h"
#include "wire/valuekeys.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const std::string Online(MqttTopics::Online);
const std::string Offline(MqttTopics::Offline);

QString latin1(const std::string &bytes)
{
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}
} // namespace

MqttBridge::MqttBridge(const MqttOptions &options, std::vector<std::string> queries, Command command,
                       MqttClient::Notice notice, MqttClient::Notice fatal)
    : m_options(options), m_queries(std::move(queries)), m_topics(options.base),
      m_client(MqttConnection{options.url, options.password, options.caFile, options.clientId,
                              m_topics.bridgeAvailability(), Offline},
               std::move(notice)),
      m_command(std::move(command))
{
    m_client.setOnFatal(std::move(fatal));
    m_client.setOnMessage([this](const std::string &topic, const std::string &payload, bool retained) {
        received(topic, payload, retained);
    });
    m_client.setRetained(m_topics.bridgeAvailability(), Online);
    m_client.subscribe(m_topics.pressFilter());
    m_client.subscribe(m_topics.sendFilter());
    m_client.subscribe(m_topics.groupPressFilter());
    if (!m_options.discoveryPrefix.empty())
        m_client.subscribe(discoveryStatusTopic(m_options.discoveryPrefix));
    m_client.start();
}

// The watch is over by now: a short loop of its own lets the broker take the bridge's last word.
MqttBridge::~MqttBridge()
{
    QEventLoop loop;
    bool stopped = false;
    m_client.stop([&] {
        stopped = true;
        loop.quit();
    });
    if (!stopped)
        loop.exec();
}

void MqttBridge::projectorAdded(const FleetProjector &projector)
{
    m_groups[projector.name] = projector.group;
    m_client.setRetained(m_topics.availability(projector.name), Offline);
    m_client.setRetained(m_topics.power(projector.name), std::string(powerStateName(PowerState::Unknown)));
    if (!m_options.discoveryPrefix.empty())
        publishDiscovery(projector.name);
}

void MqttBridge::publishDiscovery(const std::string &projector)
{
    for (const auto &[topic, config] :
         discoveryConfigs(m_options.discoveryPrefix, m_options.base, projector, m_queries))
        m_client.setRetained(topic, config.toStdString());
}

void MqttBridge::projectorRemoved(const std::string &projector)
{
    // An empty retained message is how a broker forgets one; kept as state, a broker that is away now
    // forgets them too when it is back.
    for (const std::string &topic : retainedTopics(projector))
        m_client.setRetained(topic, {});
    m_groups.erase(projector);
}

std::vector<std::string> MqttBridge::retainedTopics(const std::string &projector) const
{
    std::vector<std::string> topics{m_topics.availability(projector), m_topics.power(projector)};
    for (const std::string &query : m_queries) {
        if (const std::string_view key = valueKey(query); !key.empty())
            topics.push_back(m_topics.value(projector, key));
    }
    if (!m_options.discoveryPrefix.empty()) {
        for (const auto &[topic, config] :
             discoveryConfigs(m_options.discoveryPrefix, m_options.base, projector, m_queries))
            topics.push_back(topic);
    }
    return topics;
}

void MqttBridge::lineChanged(const std::string &projector, bool connected, const std::string &)
{
    if (!connected)
        m_client.setRetained(m_topics.availability(projector), Offline);
}

// The client sends a retained value only when it differs from the last, so every answer may come here.
void MqttBridge::exchanged(const std::string &projector, const Exchange &exchange, bool)
{
    const std::string_view key = valueKey(exchange.sent);
    if (!exchange.answered || !exchange.value || key.empty())
        return;
    m_client.setRetained(m_topics.value(projector, key), valueJson(*exchange.value).toStdString());
}

void MqttBridge::roundEnded(const std::string &projector, bool answered)
{
    m_client.setRetained(m_topics.availability(projector), answered ? Online : Offline);
}

void MqttBridge::commanded(const std::string &projector, const Exchange &exchange)
{
    m_client.publish(m_topics.reply(projector), exchangeJson(exchange).trimmed().toStdString());
}

void MqttBridge::received(const std::string &topic, const std::string &payload, bool retained)
{
    if (!m_options.discoveryPrefix.empty() && topic == discoveryStatusTopic(m_options.discoveryPrefix)) {
        // Home Assistant started again, and may have lost what it was given.
        if (payload == Discovery::HomeAssistantOnline)
            m_client.resendRetained();
        return;
    }
    const std::optional<MqttTopics::Incoming> incoming = m_topics.incoming(topic);
    if (!incoming)
        return;
    const std::string &name = incoming->projector;
    const bool group = incoming->inbox == MqttTopics::Inbox::GroupPress;
    const std::string errorTopic = group ? m_topics.groupError(name) : m_topics.error(name);
    if (retained) {
        refuse(errorTopic, topic,
               "a retained message is not taken: the broker would give it again on every connect");
        return;
    }
    const RemoteCommand command = remoteCommand(incoming->inbox, payload, m_options.allowSend);
    if (!command.refusal.empty())
        refuse(errorTopic, topic, command.refusal);
    else if (group)
        pressGroup(name, topic, command.text);
    else
        answer(name, topic, m_command(name, command.text));
}

void MqttBridge::pressGroup(const std::string &group, const std::string &topic, const std::string &text)
{
    bool any = false;
    for (const auto &[projector, itsGroup] : m_groups) {
        if (itsGroup != group)
            continue;
        any = true;
        answer(projector, topic, m_command(projector, text));
    }
    if (!any)
        refuse(m_topics.groupError(group), topic,
               "no projector of the fleet is in the group '" + group + "'");
}

void MqttBridge::powerChanged(const std::string &projector, PowerState state)
{
    m_client.setRetained(m_topics.power(projector), std::string(powerStateName(state)));
}

void MqttBridge::heldPressEnded(const std::string &projector, const PressOutcome &outcome)
{
    PressOutcome told = outcome;
    if (told.kind == PressOutcome::Kind::Dropped)
        told.detail = "the held '" + pressName(told.text) + "' was dropped: " + told.detail;
    answer(projector, m_topics.press(projector), told);
}

void MqttBridge::answer(const std::string &projector, const std::string &topic, const PressOutcome &outcome)
{
    QJsonObject reply;
    switch (outcome.kind) {
    case PressOutcome::Kind::Sent:
        // Its exchange is the reply, once it comes.
        return;
    case PressOutcome::Kind::Held:
        reply.insert(QStringLiteral("pending"), latin1(pressName(outcome.text)));
        break;
    case PressOutcome::Kind::Already:
        reply.insert(QStringLiteral("already"), latin1(outcome.detail));
        break;
    case PressOutcome::Kind::Dropped:
        refuse(m_topics.error(projector), topic, outcome.detail);
        return;
    }
    m_client.publish(m_topics.reply(projector),
                     QJsonDocument(reply).toJson(QJsonDocument::Compact).toStdString());
}

void MqttBridge::refuse(const std::string &errorTopic, const std::string &topic, const std::string &why)
{
    // The projector's or group's name and the topic came from the broker: any bytes of its clients'
    // choosing.
    const QJsonObject error{{QStringLiteral("error"), QString::fromStdString(printable(why))},
                            {QStringLiteral("topic"), QString::fromStdString(printable(topic))}};
    m_client.publish(printable(errorTopic),
                     QJsonDocument(error).toJson(QJsonDocument::Compact).toStdString());
}
