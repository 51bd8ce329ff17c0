#include "mosquittobroker.h"
#include "mqtt/discovery.h"
#include "mqtt/presskeys.h"
#include "program.h"
#include "qt/mqtt/discoveryconfigs.h"
#include "qt/mqtt/mqttbridge.h"
#include "wire/statusqueries.h"

#include <map>
#include <memory>
#include <optional>
#include <set>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {
// Each projector and its group; the halls are one.
const QList<std::pair<QString, QString>> Projectors{{"hall-a", "halls"}, {"hall-b", "halls"}, {"lab.2", ""}};
constexpr int ReconnectWait = 10000;

// Home Assistant's documented keys for each component, abbreviated as the configs write them.
const std::set<QString> CommonKeys{"name", "uniq_id", "avty", "avty_mode", "dev", "o"};
const std::map<QString, std::set<QString>> ComponentKeys{
    {"sensor", {"stat_t", "val_tpl", "dev_cla", "unit_of_meas", "stat_cla", "options", "ent_cat"}},
    {"button", {"cmd_t", "pl_prs"}},
    {"switch", {"cmd_t", "pl_on", "pl_off", "stat_t", "val_tpl", "stat_on", "stat_off"}},
    {"select", {"cmd_t", "cmd_tpl", "stat_t", "val_tpl", "options"}},
};
const std::set<QString> DeviceKeys{"ids", "name", "sw"};
const std::set<QString> OriginKeys{"name", "sw"};

Exchange answer(const std::string &query, const std::string &reply, StatusValue value)
{
    Exchange exchange;
    exchange.sent = query;
    exchange.reply = reply;
    exchange.answered = true;
    exchange.value = std::move(value);
    return exchange;
}

// A broker, the bridge on it, and what the bridge asked the fleet to send.
struct Rig
{
    MosquittoBroker broker;
    MqttOptions options;
    std::vector<std::string> queries{StatusQueries.begin(), StatusQueries.end()};
    std::unique_ptr<MqttBridge> mqtt;
    std::vector<std::pair<std::string, std::string>> commands;
    std::optional<PressOutcome> commandAnswer; // what the fleet says to a command, when not sent
    QStringList notices;
    QString fatal;

    Rig()
    {
        options.enabled = true;
        options.url.host = "localhost";
        options.url.port = broker.port();
        options.base = MqttTopics::DefaultBase;
        options.discoveryPrefix = Discovery::DefaultPrefix;
    }

    FleetObserver &bridge() { return *mqtt; }

    void startBridge()
    {
        mqtt = std::make_unique<MqttBridge>(
            options, queries,
            [this](const std::string &name, std::string text) {
                commands.emplace_back(name, text);
                return commandAnswer.value_or(PressOutcome::sent(text));
            },
            [this](const std::string &text) { notices << QString::fromStdString(text); },
            [this](const std::string &text) { fatal = QString::fromStdString(text); });
        for (const auto &[name, group] : Projectors)
            bridge().projectorAdded({name.toStdString(), {}, "19200,N,8,1", group.toStdString()});
    }

    void firstRound()
    {
        for (const auto &[name, group] : Projectors) {
            bridge().lineChanged(name.toStdString(), true, {});
            bridge().exchanged(name.toStdString(), answer("CR0", "00\r", std::string("power_on")), true);
            bridge().exchanged(name.toStdString(), answer("CR3", "1234\r", 1234.0), true);
            bridge().exchanged(name.toStdString(), answer("CR6", "x\r", std::vector<double>{31, 32.5, 40}),
                               true);
            bridge().roundEnded(name.toStdString(), true);
        }
    }

    bool publish(const QString &topic, const QByteArray &payload, bool retain = false)
    {
        QStringList arguments{"-h", "127.0.0.1", "-p", QString::number(broker.port()),
                              "-t", topic,       "-m", payload};
        if (retain)
            arguments << "-r";
        return QProcess::execute("mosquitto_pub", arguments) == 0;
    }
};

// When a press is published retained: never, before the bridge connects, or while it is connected.
enum Retained { Live, RetainedAtConnect, RetainedLive };

QByteArray errorOf(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object().value("error").toString().toUtf8();
}
} // namespace

// The MQTT bridge against a real mosquitto: what it keeps there, what it takes from there, and how it
// outlives the broker.
class TestMqttBridge : public QObject
{
    Q_OBJECT

private slots:
    void init() { SKIP_WITHOUT_MOSQUITTO(); }

    // Every projector's configs are retained, valid, of documented keys, unique, and name only topics
    // that exist; its values, availability and the bridge's follow.
    void discoveryValuesAndAvailability()
    {
        Rig rig;
        QVERIFY2(rig.broker.start(), qPrintable(rig.broker.output()));
        // The queries the first round answers, so that every state topic a config names exists.
        rig.queries = {"CR0", "CR3", "CR6"};
        rig.startBridge();
        rig.firstRound();
        QTRY_VERIFY(rig.mqtt->connected());
        BrokerWatch live(rig.broker.port(), {"tavo/#", "homeassistant/#"});
        QVERIFY(live.waitFor("tavo/bridge/availability", "online"));
        QVERIFY(live.waitFor("tavo/hall-a/power_state", "\"power_on\""));
        QVERIFY(live.waitFor("tavo/lab.2/temperatures", "[31,32.5,40]"));
        QVERIFY(live.waitFor("tavo/lab.2/availability", "online"));
        // A subscriber that comes once everything has gone out is handed only what the broker kept; one
        // that came earlier may have seen some of it as it went out, not retained.
        const auto topicsOf = [](BrokerWatch &watch) {
            std::set<QString> topics;
            for (const BrokerWatch::Message &message : watch.messages())
                topics.insert(message.topic);
            return topics;
        };
        const std::size_t everyTopic = topicsOf(live).size();
        BrokerWatch watch(rig.broker.port(), {"tavo/#", "homeassistant/#"});
        QTRY_COMPARE(topicsOf(watch).size(), everyTopic);

        std::set<QString> uniqueIds;
        std::set<QString> namedTopics;
        int configs = 0;
        std::set<QString> published;
        for (const BrokerWatch::Message &message : watch.messages()) {
            QVERIFY2(message.retained, qPrintable(message.topic));
            published.insert(message.topic);
            if (!message.topic.startsWith("homeassistant/"))
                continue;
            ++configs;
            QJsonParseError error;
            const QJsonObject config = QJsonDocument::fromJson(message.payload, &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, message.payload.constData());
            const std::set<QString> &componentKeys = ComponentKeys.at(message.topic.section('/', 1, 1));
            for (const QString &key : config.keys())
                QVERIFY2(CommonKeys.contains(key) || componentKeys.contains(key),
                         qPrintable(message.topic + ": " + key));
            for (const QString &key : config.value("dev").toObject().keys())
                QVERIFY(DeviceKeys.contains(key));
            for (const QString &key : config.value("o").toObject().keys())
                QVERIFY(OriginKeys.contains(key));
            QVERIFY(uniqueIds.insert(config.value("uniq_id").toString()).second);
            // Available only while both the projector and the bridge are.
            QCOMPARE(config.value("avty_mode").toString(), QString("all"));
            for (const char *topicKey : {"cmd_t", "stat_t"})
                namedTopics.insert(config.value(topicKey).toString());
            for (const QJsonValue availability : config.value("avty").toArray())
                namedTopics.insert(availability.toObject().value("t").toString());
        }
        const int buttons = int(std::count_if(pressKeys().begin(), pressKeys().end(),
                                              [](const PressKey &press) { return !press.held; }));
        const int sensors = 5; // power state, lamp time, three temperatures
        const int powerSwitch = 1;
        QCOMPARE(configs, int(Projectors.size()) * (sensors + buttons + powerSwitch));
        // The press topics are the bridge's own subscription.
        namedTopics.erase(QString());
        for (const QString &topic : namedTopics)
            QVERIFY2(published.contains(topic) || topic.endsWith("/press"), qPrintable(topic));

        // Only a change goes out again.
        watch.clear();
        rig.bridge().exchanged("hall-a", answer("CR3", "1234\r", 1234.0), false);
        rig.bridge().exchanged("hall-a", answer("CR3", "1235\r", 1235.0), true);
        QVERIFY(watch.waitFor("tavo/hall-a/lamp_hours", "1235"));
        QCOMPARE(watch.messages().size(), 1);
        rig.bridge().roundEnded("hall-a", false);
        QVERIFY(watch.waitFor("tavo/hall-a/availability", "offline"));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("retain");
        QTest::addColumn<QString>("fleetAnswer");
        QTest::addColumn<QString>("errorTopic");
        QTest::addColumn<QByteArray>("error");
        const QString hallError = "tavo/hall-a/error";
        const QByteArray retainedRefused("a retained message is not taken: the broker would give "
                                         "it again on every connect");
        QTest::newRow("unknown key") << "tavo/hall-a/press" << QByteArray("power_toggle") << int(Live) << ""
                                     << hallError << QByteArray("no control is pressed as 'power_toggle'");
        QTest::newRow("too long") << "tavo/hall-a/press" << QByteArray(300, 'p') << int(Live) << ""
                                  << hallError
                                  << QByteArray("the message has 300 bytes; at most 256 are taken");
        QTest::newRow("not text") << "tavo/hall-a/press" << QByteArray("power_on\tx") << int(Live) << ""
                                  << hallError << QByteArray("the message is not printable ASCII text");
        QTest::newRow("held") << "tavo/hall-a/press" << QByteArray("zoom_in") << int(Live) << "" << hallError
                              << QByteArray(
                                     "'zoom_in' is a press-and-hold control; it is not pressed from afar");
        QTest::newRow("send without the flag")
            << "tavo/hall-a/send" << QByteArray("CR9") << int(Live) << "" << hallError
            << QByteArray("free-form commands are taken only when the console runs with --mqtt-allow-send");
        QTest::newRow("retained press at connect")
            << "tavo/hall-a/press" << QByteArray("power_on") << int(RetainedAtConnect) << "" << hallError
            << retainedRefused;
        QTest::newRow("retained press while connected")
            << "tavo/hall-a/press" << QByteArray("power_on") << int(RetainedLive) << "" << hallError
            << retainedRefused;
        QTest::newRow("retained group press")
            << "tavo/group/halls/press" << QByteArray("power_on") << int(RetainedLive) << ""
            << "tavo/group/halls/error" << retainedRefused;
        QTest::newRow("unknown group")
            << "tavo/group/nowhere/press" << QByteArray("power_on") << int(Live) << ""
            << "tavo/group/nowhere/error"
            << QByteArray("no projector of the fleet is in the group 'nowhere'");
        QTest::newRow("not connected")
            << "tavo/hall-a/press" << QByteArray("power_on") << int(Live) << "hall-a is not connected"
            << hallError << QByteArray("hall-a is not connected");
        QTest::newRow("16 waiting") << "tavo/hall-a/press" << QByteArray("power_off") << int(Live)
                                    << "16 commands already wait for hall-a" << hallError
                                    << QByteArray("16 commands already wait for hall-a");
    }

    // Each refusal comes back on the projector's or group's error topic; only those the fleet refuses
    // reach it.
    void refusals()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(int, retain);
        QFETCH(QString, fleetAnswer);
        QFETCH(QString, errorTopic);
        QFETCH(QByteArray, error);
        Rig rig;
        QVERIFY(rig.broker.start());
        if (!fleetAnswer.isEmpty())
            rig.commandAnswer = PressOutcome::dropped({}, fleetAnswer.toStdString());
        BrokerWatch watch(rig.broker.port(), {errorTopic});
        // A retained press is given to the bridge when it subscribes, as after every reconnect.
        if (retain == RetainedAtConnect)
            QVERIFY(rig.publish(topic, payload, true));
        rig.startBridge();
        QTRY_VERIFY(rig.mqtt->connected());
        if (retain != RetainedAtConnect)
            QVERIFY(rig.publish(topic, payload, retain == RetainedLive));
        QTRY_VERIFY_WITH_TIMEOUT(!watch.latest(errorTopic).isNull(), ReconnectWait);
        QCOMPARE(errorOf(watch.latest(errorTopic)), error);
        QCOMPARE(rig.commands.size(), fleetAnswer.isEmpty() ? 0U : 1U);
    }

    // A group press goes to each projector of the group, and each one's outcome to its own topics.
    void groupPress()
    {
        Rig rig;
        QVERIFY(rig.broker.start());
        rig.startBridge();
        QTRY_VERIFY(rig.mqtt->connected());
        BrokerWatch watch(rig.broker.port(), {"tavo/+/reply"});
        rig.commandAnswer = PressOutcome::held("C00");
        QVERIFY(rig.publish("tavo/group/halls/press", "power_on"));
        QTRY_COMPARE(rig.commands.size(), 2U);
        const std::set<std::pair<std::string, std::string>> pressed(rig.commands.begin(), rig.commands.end());
        QCOMPARE(pressed,
                 (std::set<std::pair<std::string, std::string>>{{"hall-a", "C00"}, {"hall-b", "C00"}}));
        QVERIFY(watch.waitFor("tavo/hall-a/reply", R"({"pending":"power_on"})"));
        QVERIFY(watch.waitFor("tavo/hall-b/reply", R"({"pending":"power_on"})"));
        QVERIFY(watch.latest("tavo/lab.2/reply").isNull());
    }

    // A projector removed leaves nothing retained behind, and the others keep theirs.
    void removedProjectorIsCleared()
    {
        Rig rig;
        QVERIFY(rig.broker.start());
        rig.queries = {"CR0", "CR3", "CR6"};
        rig.startBridge();
        rig.firstRound();
        QTRY_VERIFY(rig.mqtt->connected());
        BrokerWatch live(rig.broker.port(), {"tavo/#", "homeassistant/#"});
        QVERIFY(live.waitFor("tavo/lab.2/temperatures", "[31,32.5,40]"));
        rig.bridge().projectorRemoved("hall-a");
        // The last of its topics, after everything the broker kept.
        QVERIFY(live.waitFor("homeassistant/switch/tavo_2fhall-a/power/config", ""));
        std::set<QString> kept;
        for (const BrokerWatch::Message &message : live.messages()) {
            if (!message.topic.contains("hall-a"))
                kept.insert(message.topic);
        }
        BrokerWatch after(rig.broker.port(), {"tavo/#", "homeassistant/#"});
        QTRY_COMPARE(after.messages().size(), qsizetype(kept.size()));
        for (const BrokerWatch::Message &message : after.messages())
            QVERIFY2(kept.contains(message.topic), qPrintable(message.topic));
    }

    // The switch and the select press through the press topic; lamp time, temperatures and pressure are
    // diagnostics; every config says which program made it.
    void configs_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QString origin =
            QStringLiteral(R"({"name":"tavo-console","sw":"%1"})").arg(ProgramVersion.data());
        QTest::newRow("switch command") << "switch/power"
                                        << "cmd_t"
                                        << R"("tavo/hall-a/press")";
        QTest::newRow("switch on") << "switch/power"
                                   << "pl_on"
                                   << R"("power_on")";
        QTest::newRow("switch state") << "switch/power"
                                      << "stat_t"
                                      << R"("tavo/hall-a/power")";
        QTest::newRow("select options") << "select/input_select"
                                        << "options"
                                        << R"(["computer_1","computer_2","video"])";
        QTest::newRow("lamp time") << "sensor/lamp_hours"
                                   << "ent_cat"
                                   << R"("diagnostic")";
        QTest::newRow("pressure") << "sensor/pressure"
                                  << "ent_cat"
                                  << R"("diagnostic")";
        QTest::newRow("power state") << "sensor/power_state"
                                     << "ent_cat"
                                     << "";
        QTest::newRow("origin") << "button/power_on"
                                << "o" << origin;
    }

    void configs()
    {
        QFETCH(QString, config);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const std::vector<std::string> queries(StatusQueries.begin(), StatusQueries.end());
        std::map<QString, QJsonObject> byTopic;
        for (const auto &[topic, payload] : discoveryConfigs("homeassistant", "tavo", "hall-a", queries))
            byTopic[QString::fromStdString(topic)] = QJsonDocument::fromJson(payload).object();
        const QString topic = "homeassistant/" + config.section('/', 0, 0) + "/tavo_2fhall-a/" +
                              config.section('/', 1) + "/config";
        QVERIFY2(byTopic.contains(topic), qPrintable(topic));
        const QJsonValue found = byTopic[topic].value(key);
        const QString written =
            found.isUndefined()
                ? QString()
                : QString::fromUtf8(QJsonDocument(QJsonArray{found}).toJson(QJsonDocument::Compact))
                      .mid(1)
                      .chopped(1);
        QCOMPARE(written, value);
    }

    // A press becomes its button's code for its projector; the outcome is the --json object.
    void pressReachesTheFleet()
    {
        Rig rig;
        QVERIFY(rig.broker.start());
        rig.startBridge();
        QTRY_VERIFY(rig.mqtt->connected());
        BrokerWatch watch(rig.broker.port(), {"tavo/lab.2/reply"});
        QVERIFY(rig.publish("tavo/lab.2/press", "input_video"));
        QTRY_COMPARE(rig.commands.size(), 1U);
        QCOMPARE(rig.commands[0], std::make_pair(std::string("lab.2"), std::string("C07")));
        Exchange outcome;
        outcome.sent = "C07";
        outcome.reply = "\x06\r";
        outcome.answered = true;
        rig.bridge().commanded("lab.2", outcome);
        QTRY_VERIFY(!watch.latest("tavo/lab.2/reply").isNull());
        const QJsonObject reply = QJsonDocument::fromJson(watch.latest("tavo/lab.2/reply")).object();
        QCOMPARE(reply.value("sent").toString(), "C07");
        QCOMPARE(reply.value("answered").toBool(), true);
    }

    // A power press the watch holds or finds already done is answered on the reply topic, by its key; a
    // held press dropped later is an error; the power state is a plain word.
    void powerPressesAndState()
    {
        Rig rig;
        QVERIFY(rig.broker.start());
        rig.startBridge();
        QTRY_VERIFY(rig.mqtt->connected());
        BrokerWatch watch(rig.broker.port(), {"tavo/hall-a/#"});
        QVERIFY(watch.waitFor("tavo/hall-a/power", "unknown"));
        rig.bridge().powerChanged("hall-a", PowerState::Warming);
        QVERIFY(watch.waitFor("tavo/hall-a/power", "warming"));
        rig.commandAnswer = PressOutcome::held("C01");
        QVERIFY(rig.publish("tavo/hall-a/press", "power_off"));
        QVERIFY(watch.waitFor("tavo/hall-a/reply", R"({"pending":"power_off"})"));
        rig.bridge().heldPressEnded("hall-a", PressOutcome::already("C01", "standby"));
        QVERIFY(watch.waitFor("tavo/hall-a/reply", R"({"already":"standby"})"));
        rig.bridge().heldPressEnded("hall-a", PressOutcome::dropped("C01", "it was held too long"));
        QTRY_COMPARE(errorOf(watch.latest("tavo/hall-a/error")),
                     QByteArray("the held 'power_off' was dropped: it was held too long"));
    }

    // A broker restarted without persistence gets every config, value and availability again; what
    // cannot wait for it is counted and told.
    void brokerRestart()
    {
        Rig rig;
        QVERIFY(rig.broker.start());
        rig.startBridge();
        rig.firstRound();
        QTRY_VERIFY(rig.mqtt->connected());
        rig.broker.stop();
        QTRY_VERIFY(!rig.mqtt->connected());
        rig.bridge().exchanged("hall-a", answer("CR0", "20\r", std::string("cooling_down")), true);
        for (std::size_t i = 0; i <= MqttClient::QueueLimit; ++i)
            rig.bridge().commanded("hall-a", answer("C01", "\x06\r", {}));
        QCOMPARE(rig.notices.filter("takes no more messages").size(), 1);
        QVERIFY(rig.broker.start());
        BrokerWatch watch(rig.broker.port(), {"tavo/#", "homeassistant/#"});
        QVERIFY(watch.waitFor("tavo/hall-a/power_state", "\"cooling_down\"", ReconnectWait));
        QVERIFY(watch.waitFor("tavo/lab.2/lamp_hours", "1234"));
        QVERIFY(watch.waitFor("tavo/lab.2/availability", "online"));
        QVERIFY(watch.waitFor("tavo/bridge/availability", "online"));
        QVERIFY(!watch.latest("homeassistant/button/tavo_2fhall-a/power_on/config").isNull());
        QCOMPARE(rig.notices.filter("is gone").size(), 1);
        QTRY_COMPARE(rig.notices.filter("1 replies and errors were dropped").size(), 1);
    }

    // Every connect starts the pause afresh: a broker that restarts again and again is tried again after
    // the first pause each time, never after one the restarts before have doubled (the fourth would wait
    // 8 s, the fifth 16 s).
    void eachConnectStartsThePauseAfresh()
    {
        constexpr int Restarts = 5;
        constexpr int BackWithinMs = 6000;
        Rig rig;
        QVERIFY(rig.broker.start());
        rig.startBridge();
        QTRY_VERIFY(rig.mqtt->connected());
        for (int restart = 1; restart <= Restarts; ++restart) {
            rig.broker.stop();
            QTRY_VERIFY(!rig.mqtt->connected());
            QVERIFY(rig.broker.start());
            QTRY_VERIFY2_WITH_TIMEOUT(rig.mqtt->connected(), qPrintable(QString::number(restart)),
                                      BackWithinMs);
        }
    }

    void brokerLateAtStart_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::newRow("mqtt") << false;
        QTest::newRow("mqtts") << true;
    }

    // Unreachable at start is not fatal: told once at once, with the URL and why, tried again, and the
    // bridge connects when it can.
    void brokerLateAtStart()
    {
        QFETCH(bool, tls);
        Rig rig;
        rig.options.url.tls = tls;
        rig.startBridge();
        QTRY_COMPARE(rig.notices.size(), 1);
        const QString url =
            QStringLiteral("%1://localhost:%2").arg(tls ? "mqtts" : "mqtt").arg(rig.broker.port());
        QVERIFY2(rig.notices[0].contains(url + " cannot be reached (Connection refused)"),
                 qPrintable(rig.notices[0]));
        if (tls)
            return;
        QVERIFY(rig.broker.start());
        QTRY_VERIFY_WITH_TIMEOUT(rig.mqtt->connected(), ReconnectWait);
        QVERIFY(rig.fatal.isEmpty());
    }

    void wrongPassword()
    {
        Rig rig;
        rig.broker.requirePassword("ha", "right");
        QVERIFY(rig.broker.start());
        rig.options.url.user = "ha";
        rig.options.password = "wrong";
        rig.startBridge();
        QTRY_VERIFY(!rig.fatal.isEmpty());
        QVERIFY2(rig.fatal.contains("refused the console: not authorised") ||
                     rig.fatal.contains("bad user name or password"),
                 qPrintable(rig.fatal));
        QVERIFY(!rig.mqtt->connected());
    }

    // TLS with a CA made here: trusted through --mqtt-ca, and fatal at start when the CA is not given.
    void tls_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::newRow("private CA given") << true;
        QTest::newRow("system CAs only") << false;
    }

    void tls()
    {
        QFETCH(bool, trusted);
        if (QStandardPaths::findExecutable("openssl").isEmpty())
            QSKIP("openssl is not installed (apt-get install openssl)");
        Rig rig;
        const QString ca = rig.broker.path("ca.crt");
        const QString certificate = rig.broker.path("broker.crt");
        const QString key = rig.broker.path("broker.key");
        const QString request = rig.broker.path("broker.csr");
        const QString names = rig.broker.path("names.ext");
        QFile extension(names);
        QVERIFY(extension.open(QIODevice::WriteOnly));
        extension.write("subjectAltName=DNS:localhost\n");
        extension.close();
        const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
        QCOMPARE(QProcess::execute("openssl",
                                   QStringList{"req", "-x509", "-days", "1", "-subj", "/CN=tavo test CA",
                                               "-keyout", rig.broker.path("ca.key"), "-out", ca} +
                                       ec),
                 0);
        QCOMPARE(QProcess::execute(
                     "openssl",
                     QStringList{"req", "-subj", "/CN=localhost", "-keyout", key, "-out", request} + ec),
                 0);
        QCOMPARE(QProcess::execute("openssl", {"x509", "-req", "-days", "1", "-in", request, "-CA", ca,
                                               "-CAkey", rig.broker.path("ca.key"), "-CAcreateserial",
                                               "-extfile", names, "-out", certificate}),
                 0);
        rig.broker.useTls(certificate, key);
        QVERIFY2(rig.broker.start(), qPrintable(rig.broker.output()));
        rig.options.url.tls = true;
        if (trusted)
            rig.options.caFile = ca.toStdString();
        rig.startBridge();
        if (!trusted) {
            QTRY_VERIFY(!rig.fatal.isEmpty());
            QVERIFY2(rig.fatal.contains("TLS"), qPrintable(rig.fatal));
            return;
        }
        QTRY_VERIFY(rig.mqtt->connected());
        BrokerWatch watch(rig.broker.port(), {"tavo/bridge/availability"}, {"--cafile", ca, "--insecure"});
        QVERIFY(watch.waitFor("tavo/bridge/availability", "online"));
        QVERIFY(rig.fatal.isEmpty());
    }

    // The bridge's end says it is offline itself: a clean disconnect keeps the broker's will unsent.
    void endSaysOffline()
    {
        Rig rig;
        QVERIFY(rig.broker.start());
        rig.startBridge();
        QTRY_VERIFY(rig.mqtt->connected());
        rig.mqtt.reset();
        BrokerWatch watch(rig.broker.port(), {"tavo/bridge/availability"});
        QVERIFY(watch.waitFor("tavo/bridge/availability", "offline"));
    }
};

QTEST_GUILESS_MAIN(TestMqttBridge)
#include "tst_mqttbridge.moc"
