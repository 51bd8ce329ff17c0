#include "mosquittobroker.h"
#include "mqtt/discovery.h"
#include "mqtt/presskeys.h"
#include "qt/mqtt/mqttbridge.h"
#include "wire/statusqueries.h"

#include <memory>
#include <optional>
#include <set>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {
const QStringList Projectors{QStringLiteral("hall-a"), QStringLiteral("lab.2")};
constexpr int ReconnectWait = 10000;

// Home Assistant's documented keys for each component, abbreviated as the configs write them.
const std::set<QString> CommonKeys{"name", "uniq_id", "avty", "avty_mode", "dev"};
const std::set<QString> SensorKeys{"stat_t", "val_tpl", "dev_cla", "unit_of_meas", "stat_cla", "options"};
const std::set<QString> ButtonKeys{"cmd_t", "pl_prs"};
const std::set<QString> DeviceKeys{"ids", "name", "sw"};

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
        for (const QString &name : Projectors)
            bridge().projectorAdded({name.toStdString(), {}, "19200,N,8,1", {}});
    }

    void firstRound()
    {
        for (const QString &name : Projectors) {
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
            const bool button = message.topic.startsWith("homeassistant/button/");
            for (const QString &key : config.keys())
                QVERIFY2(CommonKeys.contains(key) || (button ? ButtonKeys : SensorKeys).contains(key),
                         qPrintable(message.topic + ": " + key));
            for (const QString &key : config.value("dev").toObject().keys())
                QVERIFY(DeviceKeys.contains(key));
            QVERIFY(uniqueIds.insert(config.value("uniq_id").toString()).second);
            // Available only while both the projector and the bridge are.
            QCOMPARE(config.value("avty_mode").toString(), QString("all"));
            namedTopics.insert(config.value(button ? "cmd_t" : "stat_t").toString());
            for (const QJsonValue availability : config.value("avty").toArray())
                namedTopics.insert(availability.toObject().value("t").toString());
        }
        const int buttons = int(std::count_if(pressKeys().begin(), pressKeys().end(),
                                              [](const PressKey &press) { return !press.held; }));
        const int sensors = 5; // power state, lamp time, three temperatures
        QCOMPARE(configs, int(Projectors.size()) * (sensors + buttons));
        // The press topics are the bridge's own subscription.
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
        QTest::addColumn<bool>("retain");
        QTest::addColumn<QString>("fleetAnswer");
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("unknown key") << "tavo/hall-a/press" << QByteArray("power_toggle") << false << ""
                                     << QByteArray("no control is pressed as 'power_toggle'");
        QTest::newRow("too long") << "tavo/hall-a/press" << QByteArray(300, 'p') << false << ""
                                  << QByteArray("the message has 300 bytes; at most 256 are taken");
        QTest::newRow("not text") << "tavo/hall-a/press" << QByteArray("power_on\tx") << false << ""
                                  << QByteArray("the message is not printable ASCII text");
        QTest::newRow("held") << "tavo/hall-a/press" << QByteArray("zoom_in") << false << ""
                              << QByteArray(
                                     "'zoom_in' is a press-and-hold control; it is not pressed from afar");
        QTest::newRow("send without the flag")
            << "tavo/hall-a/send" << QByteArray("CR9") << false << ""
            << QByteArray("free-form commands are taken only when the console runs with --mqtt-allow-send");
        QTest::newRow("retained press")
            << "tavo/hall-a/press" << QByteArray("power_on") << true << ""
            << QByteArray("a retained message is not taken: the broker would give "
                          "it again on every connect");
        QTest::newRow("not connected") << "tavo/hall-a/press" << QByteArray("power_on") << false
                                       << "hall-a is not connected" << QByteArray("hall-a is not connected");
        QTest::newRow("16 waiting") << "tavo/hall-a/press" << QByteArray("power_off") << false
                                    << "16 commands already wait for hall-a"
                                    << QByteArray("16 commands already wait for hall-a");
    }

    // Each refusal comes back on the projector's error topic; only those the fleet refuses reach it.
    void refusals()
    {
        QFETCH(QString, topic);
        QFETCH(QByteArray, payload);
        QFETCH(bool, retain);
        QFETCH(QString, fleetAnswer);
        QFETCH(QByteArray, error);
        Rig rig;
        QVERIFY(rig.broker.start());
        if (!fleetAnswer.isEmpty())
            rig.commandAnswer = PressOutcome::dropped({}, fleetAnswer.toStdString());
        BrokerWatch watch(rig.broker.port(), {"tavo/hall-a/error"});
        // A retained press is given to the bridge when it subscribes, as after every reconnect.
        if (retain)
            QVERIFY(rig.publish(topic, payload, true));
        rig.startBridge();
        QTRY_VERIFY(rig.mqtt->connected());
        if (!retain)
            QVERIFY(rig.publish(topic, payload));
        QTRY_VERIFY_WITH_TIMEOUT(!watch.latest("tavo/hall-a/error").isNull(), ReconnectWait);
        QCOMPARE(errorOf(watch.latest("tavo/hall-a/error")), error);
        QCOMPARE(rig.commands.size(), fleetAnswer.isEmpty() ? 0U : 1U);
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

    // Unreachable at start is not fatal: told once, tried again, and the bridge connects when it can.
    void brokerLateAtStart()
    {
        Rig rig;
        rig.startBridge();
        QTRY_COMPARE(rig.notices.size(), 1);
        QVERIFY(rig.notices[0].contains("cannot be reached"));
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
