#include "qt/mqtt/mqttbridge.h"

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
      m_client(MqttConnection{options.url, options.password, options.caFile, m_topics.bridgeAvailability(),
                              Offline},
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
    const std::optional<MqttTopics::Incoming> incoming = m_topics.incoming(topic);
    if (!incoming)
        return;
    const std::string &projector = incoming->projector;
    if (retained) {
        refuse(projector, topic,
               "a retained message is not taken: the broker would give it again on every connect");
        return;
    }
    const RemoteCommand command = remoteCommand(incoming->inbox, payload, m_options.allowSend);
    if (!command.refusal.empty()) {
        refuse(projector, topic, command.refusal);
        return;
    }
    answer(projector, topic, m_command(projector, command.text));
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
        refuse(projector, topic, outcome.detail);
        return;
    }
    m_client.publish(m_topics.reply(projector),
                     QJsonDocument(reply).toJson(QJsonDocument::Compact).toStdString());
}

void MqttBridge::refuse(const std::string &projector, const std::string &topic, const std::string &why)
{
    // The projector's name and the topic came from the broker: any bytes of its clients' choosing.
    const QJsonObject error{{QStringLiteral("error"), QString::fromStdString(printable(why))},
                            {QStringLiteral("topic"), QString::fromStdString(printable(topic))}};
    m_client.publish(m_topics.error(printable(projector)),
                     QJsonDocument(error).toJson(QJsonDocument::Compact).toStdString());
}
