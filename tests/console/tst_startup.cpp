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
