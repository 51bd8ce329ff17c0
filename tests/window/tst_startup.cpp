#include "consolefixture.h"

#include <QTest>

// Start-up and END as the port and the window see them.
class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void opensCom1OnceAndChoosesIt()
    {
        ConsoleFixture console;
        console.form.Form_Load();
        const std::vector<std::string> expected{"CommPort 1", "Settings 19200,N,8,1", "PortOpen 1"};
        QCOMPARE(console.port.log, expected);
        QVERIFY(console.port.PortOpen());
        QVERIFY(console.controls.selected.count("Option1"));
        QVERIFY(!console.controls.visible("Frame8"));
        QCOMPARE(console.form.fields().PortSettings, std::string("19200,N,8,1"));
        QVERIFY(console.form.fields().LastCommand.empty());
        QVERIFY(console.port.written.empty());
        QVERIFY(!console.Timer1.enabled() && !console.Timer2.enabled() && !console.Timer3.enabled() &&
                !console.Timer4.enabled());
    }

    void centresFromTheFullHeightThenGoesCompact()
    {
        ConsoleFixture console;
        console.form.Form_Load();
        QCOMPARE(console.controls.left, 2880.0);
        QCOMPARE(console.controls.top, 1210.0);
        QCOMPARE(console.controls.height, 5350.0);
    }

    void failsWhenCom1IsAbsent()
    {
        ConsoleFixture console;
        console.port.failingPorts = {1};
        QVERIFY_THROWS_EXCEPTION(SerialError, console.form.Form_Load());
        QVERIFY(!console.port.PortOpen());
    }

    // Start-up is told over once COM1 is open: at once for a device, when the server answers for a
    // connection, with the failure of one that does not.
    void startUpIsOverWhenCom1IsOpen_data()
    {
        QTest::addColumn<bool>("connecting");
        QTest::addColumn<bool>("answers");
        QTest::newRow("a device") << false << true;
        QTest::newRow("a server that answers") << true << true;
        QTest::newRow("a server that does not") << true << false;
    }
    void startUpIsOverWhenCom1IsOpen()
    {
        QFETCH(bool, connecting);
        QFETCH(bool, answers);
        ConsoleFixture console;
        if (connecting)
            console.port.connectingPorts = {1};
        std::vector<std::string> told;
        console.form.setOnStarted([&](const SerialError *failure) {
            told.push_back(failure ? failure->description() : "started");
        });
        console.form.Form_Load();
        QCOMPARE(told.size(), std::size_t(connecting ? 0 : 1));
        if (connecting && answers)
            console.port.connect();
        else if (connecting)
            console.port.failConnecting("no answer from 127.0.0.1");
        QCOMPARE(told,
                 std::vector<std::string>{answers ? "started" : "COM1 (fake): no answer from 127.0.0.1"});
        QVERIFY(console.messages.warnings.empty() && console.messages.errors.empty());
    }

    void endClosesThePortBeforeTheWindowAndSendsNothing()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command16");
        QCOMPARE(console.port.log, std::vector<std::string>{"PortOpen 0"});
        QVERIFY(console.controls.unloaded);
        QVERIFY(console.port.written.empty());
    }

    void aReplyBeforeAnySendDecodesNothing()
    {
        ConsoleFixture console;
        console.load();
        console.port.deliver("00\r");
        QCOMPARE(console.caption("Label12"), std::string(" 0 0 CR "));
        QCOMPARE(console.caption("Label22"), std::string());
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
