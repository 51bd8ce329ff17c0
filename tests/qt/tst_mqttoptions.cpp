#include "qt/commandline/commandline.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A fleet file of one projector, for the fleet watch that --mqtt belongs to.
QString fleetFile;

CommandLine parse(const QStringList &arguments)
{
    std::vector<std::string> bytes{"tavo-console", "--fleet", fleetFile.toStdString(), "--watch", "1"};
    for (const QString &argument : arguments)
        bytes.push_back(argument.toStdString());
    return parseCommandLine(bytes);
}
} // namespace

// --mqtt and its companions on the command line.
class TestMqttOptions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QFile file(fleetFile = m_dir.filePath("fleet"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("hall-a tcp://127.0.0.1:4001\n");
    }

    void init() { qunsetenv(MqttPasswordVariable); }

    void defaultsAndChoices()
    {
        CommandLine line = parse({"--mqtt", "mqtt://broker"});
        QVERIFY2(line.run, qPrintable(line.error));
        QVERIFY(line.options.mqtt.enabled);
        QCOMPARE(line.options.mqtt.base, "tavo");
        QCOMPARE(line.options.mqtt.discoveryPrefix, "homeassistant");
        QVERIFY(!line.options.mqtt.allowSend);
        QVERIFY(!parse({}).options.mqtt.enabled);

        line = parse({"--mqtt", "mqtt://broker", "--mqtt-discovery", "none", "--mqtt-topic", "site/east",
                      "--mqtt-allow-send"});
        QVERIFY2(line.run, qPrintable(line.error));
        QCOMPARE(line.options.mqtt.discoveryPrefix, "");
        QCOMPARE(line.options.mqtt.base, "site/east");
        QVERIFY(line.options.mqtt.allowSend);
    }

    // The password from a file's first line, or else from the environment; never from an argument.
    void password()
    {
        qputenv(MqttPasswordVariable, "from-environment");
        CommandLine line = parse({"--mqtt", "mqtt://ha@broker"});
        QCOMPARE(line.options.mqtt.password, "from-environment");
        line = parse({"--mqtt", "mqtt://broker"});
        QVERIFY(line.error.contains("a password needs a user"));
    }

    void passwordFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("error");
        QTest::newRow("first line") << QByteArray("s3cret pass\r\nsecond line\n") << "s3cret pass"
                                    << "";
        QTest::newRow("no final newline") << QByteArray("s3cret") << "s3cret"
                                          << "";
        QTest::newRow("empty") << QByteArray() << ""
                               << "holds no password";
        QTest::newRow("empty first line") << QByteArray("\ns3cret\n") << ""
                                          << "holds no password";
    }
    void passwordFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, password);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QFile file(dir.filePath("password"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        qputenv(MqttPasswordVariable, "from-environment");
        const CommandLine line =
            parse({"--mqtt", "mqtt://ha@broker", "--mqtt-password-file", file.fileName()});
        QCOMPARE(QString::fromStdString(line.options.mqtt.password), password);
        QVERIFY2(line.error.contains(error), qPrintable(line.error));
        QCOMPARE(line.exitCode, error.isEmpty() ? 0 : 2);
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("companion alone")
            << QStringList{"--mqtt-allow-send"} << "--mqtt-allow-send belongs to --mqtt";
        QTest::newRow("bad scheme") << QStringList{"--mqtt", "tcp://broker"} << "mqtt:// or mqtts://";
        QTest::newRow("ca without tls")
            << QStringList{"--mqtt", "mqtt://b", "--mqtt-ca", "/etc/hostname"} << "an mqtts:// URL";
        QTest::newRow("ca unreadable")
            << QStringList{"--mqtt", "mqtts://b", "--mqtt-ca", "/nonexistent/ca.crt"} << "cannot be read";
        QTest::newRow("password file unreadable")
            << QStringList{"--mqtt", "mqtt://u@b", "--mqtt-password-file", "/nonexistent/pw"}
            << "cannot be read";
        QTest::newRow("wildcard base")
            << QStringList{"--mqtt", "mqtt://b", "--mqtt-topic", "tavo/+"} << "wildcard";
        QTest::newRow("system prefix")
            << QStringList{"--mqtt", "mqtt://b", "--mqtt-discovery", "$SYS"} << "'$'";
    }

    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const CommandLine line = parse(arguments);
        QVERIFY(!line.run);
        QCOMPARE(line.exitCode, 2);
        QVERIFY2(line.error.contains(error), qPrintable(line.error));
    }

    void mqttNeedsTheFleet()
    {
        for (const std::vector<std::string> &arguments :
             {std::vector<std::string>{"tavo-console", "--mqtt", "mqtt://broker"},
              std::vector<std::string>{"tavo-console", "--watch", "1", "--mqtt", "mqtt://broker"}}) {
            const CommandLine line = parseCommandLine(arguments);
            QCOMPARE(line.exitCode, 2);
            QVERIFY2(line.error.contains("--mqtt belongs to the fleet watch"), qPrintable(line.error));
        }
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestMqttOptions)
#include "tst_mqttoptions.moc"
