#include "simulator/simulatoroptions.h"

#include <QTest>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::string)

namespace {
constexpr std::string_view Version = "9.87";

SimulatorCommandLine parse(const QStringList &arguments)
{
    std::vector<std::string> args;
    for (const QString &argument : arguments)
        args.push_back(argument.toStdString());
    return parseSimulatorCommandLine(args, Version);
}
} // namespace

// What the simulator's command line may say, and how it answers a wrong one.
class TestSimulatorOptions : public QObject
{
    Q_OBJECT

private slots:
    void theDefaultsAnswerPromptlyAndWhole()
    {
        const SimulatorCommandLine parsed = parse({});
        QVERIFY(parsed.run);
        QCOMPARE(parsed.options.replyDelay, 20ms);
        QCOMPARE(parsed.options.pieces, 1);
        QCOMPARE(parsed.options.dropEvery, 0);
        QCOMPARE(parsed.options.noiseBytes, 0);
        QCOMPARE(parsed.options.warmUp, 3000ms);
        QCOMPARE(parsed.options.coolDown, 4000ms);
        QVERIFY(!parsed.listen);
        QVERIFY(!parsed.verbose);
    }

    void readsEachOption()
    {
        const SimulatorCommandLine parsed =
            parse({"--delay", "100", "--pieces=4", "--piece-gap", "5", "--drop-every", "3", "--noise=7",
                   "--warm-up", "0", "--cool-down=600000"});
        QVERIFY(parsed.run);
        QCOMPARE(parsed.options.replyDelay, 100ms);
        QCOMPARE(parsed.options.pieces, 4);
        QCOMPARE(parsed.options.pieceGap, 5ms);
        QCOMPARE(parsed.options.dropEvery, 3);
        QCOMPARE(parsed.options.noiseBytes, 7);
        QCOMPARE(parsed.options.warmUp, 0ms);
        QCOMPARE(parsed.options.coolDown, 600000ms);
        QCOMPARE(parsed.count, 1);
    }

    void countServesUpToTheLastPort()
    {
        const SimulatorCommandLine parsed = parse({"--listen", "127.0.0.1:65500", "--count", "36"});
        QVERIFY(parsed.run);
        QCOMPARE(parsed.count, 36);
    }

    void aBadOptionIsOneLineAndExitCodeTwo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown") << QStringList{"--baud", "9600"};
        QTest::newRow("missing value") << QStringList{"--delay"};
        QTest::newRow("not a number") << QStringList{"--pieces", "many"};
        QTest::newRow("trailing junk") << QStringList{"--delay=20ms"};
        QTest::newRow("no pieces") << QStringList{"--pieces", "0"};
        QTest::newRow("negative delay") << QStringList{"--delay", "-1"};
        QTest::newRow("negative warm-up") << QStringList{"--warm-up", "-1"};
        QTest::newRow("warm-up past its bound") << QStringList{"--warm-up=600001"};
        QTest::newRow("cool-down in seconds") << QStringList{"--cool-down", "4s"};
        QTest::newRow("cool-down without a value") << QStringList{"--cool-down"};
        QTest::newRow("stray argument") << QStringList{"/dev/pts/3"};
        QTest::newRow("listen without a value") << QStringList{"--listen"};
        QTest::newRow("listen without a port") << QStringList{"--listen", "127.0.0.1"};
        QTest::newRow("listen beyond the last port") << QStringList{"--listen", "127.0.0.1:65536"};
        QTest::newRow("verbose with a value") << QStringList{"--verbose=yes"};
        QTest::newRow("count without listen") << QStringList{"--count", "3"};
        QTest::newRow("no projector") << QStringList{"--listen", "127.0.0.1:0", "--count", "0"};
        QTest::newRow("count past its bound") << QStringList{"--listen", "127.0.0.1:0", "--count", "1001"};
        QTest::newRow("count past the last port")
            << QStringList{"--listen", "127.0.0.1:65500", "--count", "37"};
    }
    void aBadOptionIsOneLineAndExitCodeTwo()
    {
        QFETCH(QStringList, arguments);
        const SimulatorCommandLine parsed = parse(arguments);
        QVERIFY(!parsed.run);
        QCOMPARE(parsed.exitCode, 2);
        QVERIFY(!parsed.error.empty());
        QVERIFY(parsed.error.find('\n') == std::string::npos);
    }

    void helpListsEveryOption()
    {
        const SimulatorCommandLine parsed = parse({"--delay", "5", "--help"});
        QVERIFY(!parsed.run);
        QCOMPARE(parsed.exitCode, 0);
        for (const char *option : {"--listen", "--delay", "--pieces", "--piece-gap", "--drop-every",
                                   "--noise", "--warm-up", "--cool-down", "--verbose", "--version", "--help"})
            QVERIFY2(parsed.output.find(option) != std::string::npos, option);
    }

    void versionPrintsTheVersionGiven()
    {
        const SimulatorCommandLine parsed = parse({"--version"});
        QVERIFY(!parsed.run);
        QCOMPARE(parsed.exitCode, 0);
        QCOMPARE(parsed.output, std::string(Version) + '\n');
        QVERIFY(parsed.error.empty());
    }

    void verboseIsAFlag()
    {
        const SimulatorCommandLine parsed = parse({"--verbose", "--delay", "0"});
        QVERIFY(parsed.run);
        QVERIFY(parsed.verbose);
        QCOMPARE(parsed.options.replyDelay, 0ms);
    }

    void listenReadsHostAndPort_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<std::string>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("loopback, any free port") << "127.0.0.1:0" << std::string("127.0.0.1") << 0;
        QTest::newRow("IPv6 in brackets") << "[::1]:5000" << std::string("::1") << 5000;
    }
    void listenReadsHostAndPort()
    {
        QFETCH(QString, argument);
        QFETCH(std::string, host);
        QFETCH(int, port);
        for (const QStringList &arguments :
             {QStringList{"--listen", argument}, QStringList{"--listen=" + argument}}) {
            const SimulatorCommandLine parsed = parse(arguments);
            QVERIFY2(parsed.run, parsed.error.c_str());
            QVERIFY(parsed.listen);
            QCOMPARE(parsed.listen->host, host);
            QCOMPARE(int(parsed.listen->port), port);
        }
    }
};

QTEST_GUILESS_MAIN(TestSimulatorOptions)
#include "tst_simulatoroptions.moc"
