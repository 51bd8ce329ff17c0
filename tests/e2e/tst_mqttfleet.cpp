#include "loopbacklistener.h"
#include "mosquittobroker.h"
#include "simulatorprocess.h"

#include <csignal>
#include <memory>

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int StartMs = 5000;
constexpr int WatchSeconds = 1;
// SIGTERM ends a watch within a second, whatever outputs it has.
constexpr qint64 StopLimitMs = 1000;
// Two rounds, the first reconnect pause, and room for a loaded machine.
constexpr int TwoRoundsMs = (2 * WatchSeconds + 1) * 1000 + 3000;

// A simulated projector on a free loopback port.
struct Simulator : SimulatorProcess
{
    Simulator() : SimulatorProcess(QStringLiteral(TAVO_PROJECTOR_SIM)) {}
};

// Two simulated projectors in a fleet file, a broker, and the real console between them.
struct Fleet
{
    QTemporaryDir dir;
    Simulator hall;
    Simulator lab;
    MosquittoBroker broker;
    QProcess console;

    // A projector whose server is not there: nothing listens on its port.
    const std::uint16_t gonePort = freeLoopbackPort();

    QString fleetFile()
    {
        QFile file(dir.filePath("fleet"));
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("hall-a %1\nlab.2 %2 19200\ngone tcp://127.0.0.1:%3\n")
                       .arg(hall.endpoint, lab.endpoint)
                       .arg(gonePort)
                       .toUtf8());
        return file.fileName();
    }

    void publish(const QString &topic, const QByteArray &payload, bool retain = false)
    {
        QStringList arguments{"-p", QString::number(broker.port()), "-t", topic, "-m", payload};
        if (retain)
            arguments << "-r";
        QProcess::execute("mosquitto_pub", arguments);
    }

    void start(const QStringList &extra = {}, const QString &password = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "TAVO_MQTT_PASSWORD"})
            environment.remove(QString::fromLatin1(name));
        if (!password.isEmpty())
            environment.insert("TAVO_MQTT_PASSWORD", password);
        console.setProcessEnvironment(environment);
        console.start(QStringLiteral(TAVO_CONSOLE),
                      QStringList{"--fleet", fleetFile(), "--watch", QString::number(WatchSeconds), "--mqtt",
                                  QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port())} +
                          extra);
        console.waitForStarted();
    }

    ~Fleet()
    {
        console.kill();
        console.waitForFinished();
    }
};

QByteArray field(const QByteArray &json, const char *name)
{
    return QJsonDocument::fromJson(json).object().value(name).toVariant().toByteArray();
}
} // namespace

// The fleet watch on a real mosquitto, with the real console and simulated projectors.
class TestMqttFleet : public QObject
{
    Q_OBJECT

private slots:
    void init() { SKIP_WITHOUT_MOSQUITTO(); }

    // Values, availability and discovery appear; a press reaches its projector and its value follows.
    void pressReachesTheProjector()
    {
        Fleet fleet;
        QVERIFY(fleet.broker.start());
        BrokerWatch watch(fleet.broker.port(), {"tavo/#", "homeassistant/#"});
        fleet.start();
        QVERIFY(watch.waitFor("tavo/hall-a/power_state", "\"standby\""));
        QVERIFY(watch.waitFor("tavo/lab.2/availability", "online"));
        QVERIFY(watch.waitFor("tavo/bridge/availability", "online"));
        QVERIFY(!watch.latest("homeassistant/button/tavo_2fhall-a/power_on/config").isNull());
        fleet.publish("tavo/hall-a/press", "power_on");
        QVERIFY(watch.waitFor("tavo/hall-a/power_state", "\"count_down\"", TwoRoundsMs));
        QCOMPARE(field(watch.latest("tavo/hall-a/reply"), "sent"), "C00");
        QCOMPARE(watch.latest("tavo/lab.2/power_state"), "\"standby\"");
    }

    // The console meets the broker over MQTT 5 as its fleet; a press published retained while it runs is
    // refused and sends nothing; Home Assistant coming online gets every config again, and its power
    // switch turns the projector on through its line.
    void homeAssistantAndARetainedPress()
    {
        Fleet fleet;
        QVERIFY(fleet.broker.start());
        BrokerWatch watch(fleet.broker.port(), {"tavo/#", "homeassistant/#"});
        fleet.start();
        QVERIFY(watch.waitFor("tavo/hall-a/power", "standby"));
        QString brokerLog;
        QTRY_VERIFY2((brokerLog += fleet.broker.output()).contains(" as tavo-console-fleet (p5"),
                     qPrintable(brokerLog));

        fleet.hall.process.readAllStandardError();
        fleet.publish("tavo/hall-a/press", "power_on", true);
        QVERIFY(
            watch.waitFor("tavo/hall-a/error",
                          R"({"error":"a retained message is not taken: the broker would give it again on )"
                          R"(every connect","topic":"tavo/hall-a/press"})"));
        fleet.publish("tavo/hall-a/press", {}, true);
        // A press taken goes out before the next status query.
        QByteArray line;
        QTRY_VERIFY_WITH_TIMEOUT((line += fleet.hall.process.readAllStandardError()).contains("RX C R 0 CR"),
                                 TwoRoundsMs);
        QVERIFY2(!line.contains("RX C 0 0"), line.constData());

        const QString switchConfig = "homeassistant/switch/tavo_2fhall-a/power/config";
        watch.clear();
        fleet.publish("homeassistant/status", "online");
        QTRY_VERIFY(!watch.latest(switchConfig).isNull());
        QVERIFY(!watch.latest("homeassistant/sensor/tavo_2flab_2e2/lamp_hours/config").isNull());
        const QJsonObject config = QJsonDocument::fromJson(watch.latest(switchConfig)).object();
        fleet.publish(config.value("cmd_t").toString(), config.value("pl_on").toString().toUtf8());
        QVERIFY(watch.waitFor("tavo/hall-a/power", "warming", TwoRoundsMs));
        QVERIFY((line += fleet.hall.process.readAllStandardError()).contains("RX C 0 0"));
    }

    // Refused presses come back as errors, and their projector's line carries nothing of them.
    void refusalsSendNothing()
    {
        Fleet fleet;
        QVERIFY(fleet.broker.start());
        BrokerWatch watch(fleet.broker.port(), {"tavo/+/error", "tavo/hall-a/availability"});
        fleet.start();
        QVERIFY(watch.waitFor("tavo/hall-a/availability", "online"));
        fleet.publish("tavo/hall-a/press", "volume_up");
        fleet.publish("tavo/hall-a/send", "C00");
        fleet.publish("tavo/gone/press", "power_on");
        QVERIFY(watch.waitFor("tavo/gone/error", R"({"error":"not connected","topic":"tavo/gone/press"})"));
        QByteArrayList hallErrors;
        for (const BrokerWatch::Message &message : watch.messages()) {
            if (message.topic == "tavo/hall-a/error")
                hallErrors << field(message.payload, "error");
        }
        QCOMPARE(hallErrors.size(), 2);
        QVERIFY(hallErrors[0].contains("press-and-hold"));
        QVERIFY(hallErrors[1].contains("--mqtt-allow-send"));
        QTest::qWait(WatchSeconds * 1000);
        const QByteArray line = fleet.hall.process.readAllStandardError();
        QVERIFY(line.contains("RX C R 0 CR"));
        QVERIFY2(!line.contains("RX C 0 9") && !line.contains("RX C 0 0"), line.constData());
    }

    // The broker killed and started again: configs, values and availability are back within two rounds.
    void brokerRestart()
    {
        Fleet fleet;
        QVERIFY(fleet.broker.start());
        fleet.start();
        {
            BrokerWatch watch(fleet.broker.port(), {"tavo/hall-a/availability"});
            QVERIFY(watch.waitFor("tavo/hall-a/availability", "online"));
        }
        fleet.broker.stop(true);
        QVERIFY(fleet.broker.start());
        BrokerWatch watch(fleet.broker.port(), {"tavo/#", "homeassistant/#"});
        QVERIFY(watch.waitFor("tavo/lab.2/availability", "online", TwoRoundsMs));
        QVERIFY(watch.waitFor("tavo/hall-a/lamp_hours", watch.latest("tavo/hall-a/lamp_hours")));
        QVERIFY(!watch.latest("tavo/hall-a/lamp_hours").isNull());
        QVERIFY(!watch.latest("homeassistant/sensor/tavo_2flab_2e2/power_state/config").isNull());
        QCOMPARE(fleet.console.state(), QProcess::Running);
    }

    // SIGKILL: the broker's Last Will sets the bridge offline; SIGTERM: the console does, and exits 0.
    void endings_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGKILL") << SIGKILL;
        QTest::newRow("SIGTERM") << SIGTERM;
    }

    void endings()
    {
        QFETCH(int, signal);
        Fleet fleet;
        QVERIFY(fleet.broker.start());
        BrokerWatch watch(fleet.broker.port(), {"tavo/bridge/availability"});
        fleet.start();
        QVERIFY(watch.waitFor("tavo/bridge/availability", "online"));
        ::kill(pid_t(fleet.console.processId()), signal);
        QVERIFY(fleet.console.waitForFinished(StartMs));
        if (signal == SIGTERM) {
            QCOMPARE(fleet.console.exitStatus(), QProcess::NormalExit);
            QCOMPARE(fleet.console.exitCode(), 0);
        }
        QVERIFY(watch.waitFor("tavo/bridge/availability", "offline"));
    }

    // With every output a watch can have, SIGTERM still ends it within a second, and each output has
    // its last word: the bridge offline, the metrics server gone, the links' closing in the traffic log.
    void aStopEndsWithinASecondWithEveryOutput()
    {
        Fleet fleet;
        QVERIFY(fleet.broker.start());
        BrokerWatch watch(fleet.broker.port(), {"tavo/bridge/availability", "tavo/hall-a/availability"});
        const QString log = fleet.dir.filePath("traffic.log");
        fleet.start({"--metrics", "0", "--log", log});
        QVERIFY(watch.waitFor("tavo/hall-a/availability", "online"));
        QVERIFY(watch.waitFor("tavo/bridge/availability", "online"));
        QElapsedTimer stopping;
        stopping.start();
        ::kill(pid_t(fleet.console.processId()), SIGTERM);
        QVERIFY(fleet.console.waitForFinished(StartMs));
        const qint64 stoppedMs = stopping.elapsed();
        QCOMPARE(fleet.console.exitStatus(), QProcess::NormalExit);
        QCOMPARE(fleet.console.exitCode(), 0);
        QVERIFY2(stoppedMs < StopLimitMs, qPrintable(QString::number(stoppedMs) + " ms"));
        QVERIFY(watch.waitFor("tavo/bridge/availability", "offline"));
        QFile written(log);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray lastLine = written.readAll().trimmed().split('\n').last();
        QVERIFY2(lastLine.contains(" CLOSE "), lastLine.constData());
    }

    void wrongPassword()
    {
        Fleet fleet;
        fleet.broker.requirePassword("ha", "right");
        QVERIFY(fleet.broker.start());
        fleet.console.setProgram(QStringLiteral(TAVO_CONSOLE));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TAVO_MQTT_PASSWORD", "wrong");
        fleet.console.setProcessEnvironment(environment);
        fleet.console.setArguments({"--fleet", fleet.fleetFile(), "--watch", "1", "--mqtt",
                                    QStringLiteral("mqtt://ha@127.0.0.1:%1").arg(fleet.broker.port())});
        fleet.console.start();
        QVERIFY(fleet.console.waitForFinished(StartMs));
        QCOMPARE(fleet.console.exitCode(), 3);
        const QList<QByteArray> lines = fleet.console.readAllStandardError().trimmed().split('\n');
        QVERIFY2(lines.last().contains("refused the console"), lines.last().constData());
    }
};

QTEST_GUILESS_MAIN(TestMqttFleet)
#include "tst_mqttfleet.moc"
