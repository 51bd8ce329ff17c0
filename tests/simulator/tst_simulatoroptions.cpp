#include "simulator/simulatoroptions.h"

#include <QTest>

using namespace std::chrono_literals;

// What the simulator's command line may say, and how it answers a wrong one.
class TestSimulatorOptions : public QObject
{
    Q_OBJECT

private slots:
    void theDefaultsAnswerPromptlyAndWhole()
    {
        const SimulatorCommandLine parsed = parseSimulatorCommandLine({});
        QVERIFY(parsed.run);
        QCOMPARE(parsed.options.replyDelay, 20ms);
        QCOMPARE(parsed.options.pieces, 1);
        QCOMPARE(parsed.options.dropEvery, 0);
        QCOMPARE(parsed.options.noiseBytes, 0);
    }

    void readsEachOption()
    {
        const SimulatorCommandLine parsed = parseSimulatorCommandLine(
            {"--delay", "100", "--pieces=4", "--piece-gap", "5", "--drop-every", "3", "--noise=7"});
        QVERIFY(parsed.run);
        QCOMPARE(parsed.options.replyDelay, 100ms);
        QCOMPARE(parsed.options.pieces, 4);
        QCOMPARE(parsed.options.pieceGap, 5ms);
        QCOMPARE(parsed.options.dropEvery, 3);
        QCOMPARE(parsed.options.noiseBytes, 7);
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
        QTest::newRow("stray argument") << QStringList{"/dev/pts/3"};
    }
    void aBadOptionIsOneLineAndExitCodeTwo()
    {
        QFETCH(QStringList, arguments);
        std::vector<std::string> args;
        for (const QString &argument : arguments)
            args.push_back(argument.toStdString());
        const SimulatorCommandLine parsed = parseSimulatorCommandLine(args);
        QVERIFY(!parsed.run);
        QCOMPARE(parsed.exitCode, 2);
        QVERIFY(!parsed.error.empty());
        QVERIFY(parsed.error.find('\n') == std::string::npos);
    }

    void helpListsEveryOption()
    {
        const SimulatorCommandLine parsed = parseSimulatorCommandLine({"--help"});
        QVERIFY(!parsed.run);
        QCOMPARE(parsed.exitCode, 0);
        for (const char *option : {"--delay", "--pieces", "--piece-gap", "--drop-every", "--noise"})
            QVERIFY2(parsed.output.find(option) != std::string::npos, option);
    }
};

QTEST_GUILESS_MAIN(TestSimulatorOptions)
#include "tst_simulatoroptions.moc"
