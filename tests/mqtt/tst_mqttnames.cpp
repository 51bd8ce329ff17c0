#include "mqtt/brokerurl.h"
#include "mqtt/clientid.h"
#include "mqtt/discovery.h"
#include "mqtt/mqtttopics.h"
#include "mqtt/presskeys.h"
#include "mqtt/remotecommand.h"
#include "window/controltable.h"
#include "wire/holdtable.h"
#include "wire/oneshottable.h"
#include "wire/statusdecoding.h"
#include "wire/statusqueries.h"
#include "wire/valuekeys.h"

#include <algorithm>
#include <regex>
#include <set>
#include <stdexcept>

#include <QTest>

namespace {
const std::regex LowerKey("[a-z][a-z0-9_]*");

bool lowerKey(std::string_view key)
{
    return std::regex_match(key.begin(), key.end(), LowerKey);
}
} // namespace

// The names the MQTT bridge gives to values and presses, its topics and addresses, and what it refuses.
class TestMqttNames : public QObject
{
    Q_OBJECT

private slots:
    // A press key names a window button of the right kind, once; a value key is one per query, once.
    void keysNameWhatTheyShould()
    {
        std::set<std::string_view> keys;
        for (const PressKey &press : pressKeys()) {
            QVERIFY2(lowerKey(press.key) && keys.insert(press.key).second, press.key.data());
            QVERIFY2(findControl(press.control), press.control.data());
            if (press.held) {
                QVERIFY2(findHoldButton(press.control), press.key.data());
                QVERIFY(pressCode(press).empty());
            } else {
                QVERIFY2(findOneShotButton(press.control), press.key.data());
                QVERIFY2(!isStatusQuery(std::string(pressCode(press)) + "\r"), press.key.data());
            }
        }
        for (const std::string_view query : StatusQueries) {
            QVERIFY(lowerKey(valueKey(query)));
            QVERIFY2(keys.insert(valueKey(query)).second, query.data());
        }
        QCOMPARE(valueKeys().size(), StatusQueries.size());
    }

    // Every value has a sensor, ids (buttons', the switch's and the select's too) are unique in a device, and
    // an enum sensor lists its table's names.
    void sensorsCoverEveryValue()
    {
        std::set<std::string_view> objectIds;
        std::set<std::string_view> shown;
        for (const DiscoverySensor &sensor : discoverySensors()) {
            QVERIFY(objectIds.insert(discoveryObjectId(sensor)).second);
            shown.insert(sensor.query);
            QCOMPARE(sensor.deviceClass == Discovery::EnumClass, !enumOptions(sensor.query).empty());
            QVERIFY(sensor.deviceClass != Discovery::EnumClass || sensor.unit.empty());
        }
        for (const PressKey &press : pressKeys())
            QVERIFY(objectIds.insert(press.key).second);
        QVERIFY(objectIds.insert(Discovery::PowerObject).second);
        QVERIFY(objectIds.insert(Discovery::InputObject).second);
        QCOMPARE(shown.size(), StatusQueries.size());
    }

    void nodeIdsNeverMeet_data()
    {
        QTest::addColumn<QString>("base1");
        QTest::addColumn<QString>("name1");
        QTest::addColumn<QString>("base2");
        QTest::addColumn<QString>("name2");
        QTest::newRow("dot and underscore") << "tavo"
                                            << "a.b"
                                            << "tavo"
                                            << "a_b";
        QTest::newRow("escape lookalike") << "tavo"
                                          << "a_2eb"
                                          << "tavo"
                                          << "a.b";
        QTest::newRow("base level and name") << "tavo/a"
                                             << "b"
                                             << "tavo"
                                             << "a_2fb";
        QTest::newRow("other base") << "site1"
                                    << "hall"
                                    << "site2"
                                    << "hall";
    }

    void nodeIdsNeverMeet()
    {
        QFETCH(QString, base1);
        QFETCH(QString, name1);
        QFETCH(QString, base2);
        QFETCH(QString, name2);
        const std::string first = discoveryNodeId(base1.toStdString(), name1.toStdString());
        QVERIFY(first != discoveryNodeId(base2.toStdString(), name2.toStdString()));
        QVERIFY(std::regex_match(first, std::regex("[A-Za-z0-9_-]+")));
    }

    void remoteCommands_data()
    {
        QTest::addColumn<bool>("send");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("allowSend");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("power on") << false << QByteArray("power_on") << false << "C00"
                                  << "";
        QTest::newRow("picture mode") << false << QByteArray("picture_cinema") << false << "C13"
                                      << "";
        QTest::newRow("key lock") << false << QByteArray("key_lock_panel") << false << "CF KEYDIS KEY"
                                  << "";
        QTest::newRow("unknown key") << false << QByteArray("power_toggle") << false << ""
                                     << "no control is pressed as 'power_toggle'";
        QTest::newRow("key with a newline") << false << QByteArray("power_on\n") << false << ""
                                            << "the message is not printable ASCII text";
        QTest::newRow("key with a DEL") << false << QByteArray("power_on\x7f") << false << ""
                                        << "the message is not printable ASCII text";
        QTest::newRow("held") << false << QByteArray("volume_up") << false << ""
                              << "'volume_up' is a press-and-hold control; it is not pressed from afar";
        QTest::newRow("too long") << false << QByteArray(257, 'a') << false << ""
                                  << "the message has 257 bytes; at most 256 are taken";
        QTest::newRow("empty") << false << QByteArray() << false << ""
                               << "the message is empty";
        QTest::newRow("send off") << true << QByteArray("CR9") << false << ""
                                  << "free-form commands are taken only when the console runs with "
                                     "--mqtt-allow-send";
        QTest::newRow("send on") << true << QByteArray("CF LAMP 1") << true << "CF LAMP 1"
                                 << "";
        QTest::newRow("send longest") << true << QByteArray(256, 'C') << true << QString(256, 'C') << "";
        QTest::newRow("send with a CR") << true << QByteArray("C00\rC01") << true << ""
                                        << "the message is not printable ASCII text";
        QTest::newRow("send with a DEL") << true << QByteArray("C00\x7f") << true << ""
                                         << "the message is not printable ASCII text";
        QTest::newRow("send UTF-8") << true << QByteArray("C\xc3\xa9") << true << ""
                                    << "the message is not printable ASCII text";
    }

    void remoteCommands()
    {
        QFETCH(bool, send);
        QFETCH(QByteArray, payload);
        QFETCH(bool, allowSend);
        QFETCH(QString, text);
        QFETCH(QString, refusal);
        const RemoteCommand command = remoteCommand(send ? MqttTopics::Inbox::Send : MqttTopics::Inbox::Press,
                                                    payload.toStdString(), allowSend);
        QCOMPARE(QString::fromStdString(command.text), text);
        QCOMPARE(QString::fromStdString(command.refusal), refusal);
    }

    void incomingTopics_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QString>("projector");
        QTest::addColumn<int>("inbox");
        QTest::newRow("press") << "site/a/hall-a/press"
                               << "hall-a" << int(MqttTopics::Inbox::Press);
        QTest::newRow("send") << "site/a/lab.2/send"
                              << "lab.2" << int(MqttTopics::Inbox::Send);
        QTest::newRow("a value") << "site/a/hall-a/power_state"
                                 << "" << -1;
        QTest::newRow("deeper") << "site/a/hall-a/x/press"
                                << "" << -1;
        QTest::newRow("other base") << "site/b/hall-a/press"
                                    << "" << -1;
        QTest::newRow("base as prefix") << "site/ab/press"
                                        << "" << -1;
        QTest::newRow("empty name") << "site/a//press"
                                    << "" << -1;
        QTest::newRow("group press") << "site/a/group/halls/press"
                                     << "halls" << int(MqttTopics::Inbox::GroupPress);
        QTest::newRow("a projector called group") << "site/a/group/press"
                                                  << "group" << int(MqttTopics::Inbox::Press);
        QTest::newRow("group send") << "site/a/group/halls/send"
                                    << "" << -1;
        QTest::newRow("group without a name") << "site/a/group//press"
                                              << "" << -1;
        QTest::newRow("group deeper") << "site/a/group/halls/x/press"
                                      << "" << -1;
    }

    void incomingTopics()
    {
        QFETCH(QString, topic);
        QFETCH(QString, projector);
        QFETCH(int, inbox);
        const auto incoming = MqttTopics("site/a").incoming(topic.toStdString());
        QCOMPARE(incoming.has_value(), inbox >= 0);
        if (incoming) {
            QCOMPARE(QString::fromStdString(incoming->projector), projector);
            QCOMPARE(int(incoming->inbox), inbox);
        }
    }

    // Every input the select offers is one the input status names, and a one-shot press selects it; the
    // switch's presses are keys.
    void selectAndSwitchPressKeys()
    {
        const std::vector<std::string_view> inputs = enumOptions(StatusQuery::SelectedInput);
        for (const InputOption &option : inputOptions()) {
            QVERIFY2(std::find(inputs.begin(), inputs.end(), option.input) != inputs.end(),
                     option.input.data());
            const PressKey *press = findPressKey(option.press);
            QVERIFY2(press && !press->held, option.press.data());
        }
        for (const std::string_view key : {PowerOnKey, PowerOffKey})
            QVERIFY(findPressKey(key) && !pressCode(*findPressKey(key)).empty());
    }

    void clientIds_data()
    {
        QTest::addColumn<QString>("fleetFile");
        QTest::addColumn<QString>("clientId");
        QTest::newRow("plain") << "/etc/tavo-console/fleet"
                               << "tavo-console-fleet";
        QTest::newRow("extension") << "sites/east-wing.conf"
                                   << "tavo-console-east-wing";
        QTest::newRow("no folder") << "hall_a.txt"
                                   << "tavo-console-hall_a";
        QTest::newRow("hidden file") << "/srv/.fleet"
                                     << "tavo-console-_fleet";
        QTest::newRow("dots and blanks") << "my fleet.v2.conf"
                                         << "tavo-console-my_fleet_v2";
        QTest::newRow("UTF-8") << "sal\u00e9"
                               << "tavo-console-sal__";
        QTest::newRow("long") << QString(100, 'x') << "tavo-console-" + QString(51, 'x');
    }

    // The same fleet file gives the same identifier at every start, within the broker's rules.
    void clientIds()
    {
        QFETCH(QString, fleetFile);
        QFETCH(QString, clientId);
        const std::string id = fleetClientId(fleetFile.toStdString());
        QCOMPARE(QString::fromStdString(id), clientId);
        QVERIFY(id.size() <= ClientIdLimit);
    }

    void topicBases_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<bool>("usable");
        QTest::newRow("default") << "tavo" << true;
        QTest::newRow("levels") << "site/east" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("wildcard") << "tavo/#" << false;
        QTest::newRow("plus") << "ta+vo" << false;
        QTest::newRow("system") << "$SYS" << false;
        QTest::newRow("empty level") << "a//b" << false;
        QTest::newRow("trailing slash") << "tavo/" << false;
        QTest::newRow("blank") << "ta vo" << false;
    }

    void topicBases()
    {
        QFETCH(QString, base);
        QFETCH(bool, usable);
        QCOMPARE(!topicBaseProblem(base.toStdString()).has_value(), usable);
    }

    void brokerUrls_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("plain") << "mqtt://broker" << false << ""
                               << "broker" << 1883;
        QTest::newRow("tls") << "mqtts://broker" << true << ""
                             << "broker" << 8883;
        QTest::newRow("user and port") << "mqtt://ha@10.0.0.2:1884" << false << "ha"
                                       << "10.0.0.2" << 1884;
        QTest::newRow("user with @") << "mqtt://a@b@host" << false << "a@b"
                                     << "host" << 1883;
        QTest::newRow("ipv6") << "mqtts://[::1]" << true << ""
                              << "::1" << 8883;
        QTest::newRow("ipv6 and port") << "mqtt://[::1]:2000" << false << ""
                                       << "::1" << 2000;
        QTest::newRow("other scheme") << "http://broker" << false << ""
                                      << "" << 0;
        QTest::newRow("no host") << "mqtt://" << false << ""
                                 << "" << 0;
        QTest::newRow("empty user") << "mqtt://@broker" << false << ""
                                    << "" << 0;
        QTest::newRow("path") << "mqtt://broker/x" << false << ""
                              << "" << 0;
        QTest::newRow("port 0") << "mqtt://broker:0" << false << ""
                                << "" << 0;
    }

    void brokerUrls()
    {
        QFETCH(QString, url);
        QFETCH(bool, tls);
        QFETCH(QString, user);
        QFETCH(QString, host);
        QFETCH(int, port);
        if (port == 0) {
            QVERIFY_THROWS_EXCEPTION(std::invalid_argument, parseBrokerUrl(url.toStdString()));
            return;
        }
        const BrokerUrl parsed = parseBrokerUrl(url.toStdString());
        QCOMPARE(parsed.tls, tls);
        QCOMPARE(QString::fromStdString(parsed.user), user);
        QCOMPARE(QString::fromStdString(parsed.host), host);
        QCOMPARE(int(parsed.port), port);
    }
};

QTEST_GUILESS_MAIN(TestMqttNames)
#include "tst_mqttnames.moc"
