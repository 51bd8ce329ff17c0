#include "qt/commandline.h"

#include <QTest>

// What the command line may say, and how the console answers a wrong one.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void readsTheCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("run");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("com1");
        QTest::addColumn<QString>("com2");
        QTest::newRow("none") << QStringList{} << true << 0 << "auto"
                              << "auto";
        QTest::newRow("both devices")
            << QStringList{"--com1", "/dev/pts/3", "--com2=/dev/ttyUSB0"} << true << 0 << "/dev/pts/3"
            << "/dev/ttyUSB0";
        QTest::newRow("unknown option") << QStringList{"--baud", "9600"} << false << 2 << ""
                                        << "";
        QTest::newRow("missing device") << QStringList{"--com1"} << false << 2 << ""
                                        << "";
        QTest::newRow("stray argument") << QStringList{"COM3"} << false << 2 << ""
                                        << "";
        QTest::newRow("network endpoints")
            << QStringList{"--com1", "tcp://127.0.0.1:4001", "--com2", "rfc2217://host:2217"} << true << 0
            << "tcp://127.0.0.1:4001"
            << "rfc2217://host:2217";
        QTest::newRow("bad endpoint") << QStringList{"--com2", "tcp://127.0.0.1"} << false << 2 << ""
                                      << "";
        QTest::newRow("version") << QStringList{"--version"} << false << 0 << ""
                                 << "";
        QTest::newRow("help") << QStringList{"--help"} << false << 0 << ""
                              << "";
        QTest::newRow("list ports") << QStringList{"--list-ports"} << false << 0 << ""
                                    << "";
    }
    void readsTheCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, run);
        QFETCH(int, exitCode);
        QFETCH(QString, com1);
        QFETCH(QString, com2);
        const CommandLine parsed = parseCommandLine(QStringList{"tavo-console"} + arguments);
        QCOMPARE(parsed.run, run);
        QCOMPARE(parsed.exitCode, exitCode);
        if (run) {
            QCOMPARE(QString::fromStdString(parsed.options.com1.text), com1);
            QCOMPARE(QString::fromStdString(parsed.options.com2.text), com2);
        }
        if (exitCode == 2) {
            QVERIFY(!parsed.error.isEmpty());
            QVERIFY(!parsed.error.contains('\n'));
        }
    }

    void simulateTakesNoDevices_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("run");
        QTest::newRow("alone") << QStringList{"--simulate"} << true;
        QTest::newRow("with com1") << QStringList{"--simulate", "--com1", "/dev/pts/3"} << false;
        QTest::newRow("with com2") << QStringList{"--com2=/dev/ttyUSB0", "--simulate"} << false;
    }
    void simulateTakesNoDevices()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, run);
        const CommandLine parsed = parseCommandLine(QStringList{"tavo-console"} + arguments);
        QCOMPARE(parsed.run, run);
        QCOMPARE(parsed.options.simulate, run);
        QCOMPARE(parsed.exitCode, run ? 0 : 2);
        QCOMPARE(parsed.error.isEmpty(), run);
    }

    void versionAndHelpSayWhatTheyShould()
    {
        QCOMPARE(parseCommandLine({"tavo-console", "--version"}).output, QString("1.40\n"));
        QVERIFY(parseCommandLine({"tavo-console", "--help"}).output.contains("--com2"));
        QVERIFY(parseCommandLine({"tavo-console", "--help"}).output.contains("--simulate"));
        QVERIFY(parseCommandLine({"tavo-console", "--help"}).output.contains("--list-ports"));
        QVERIFY(!parseCommandLine({"tavo-console", "--list-ports"}).output.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
