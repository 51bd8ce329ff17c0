#include "consolefixture.h"

#include <QTest>

// Choosing the port and the speed, and the panel that offers the choice.
class TestPortSwitch : public QObject
{
    Q_OBJECT

private slots:
    void com2MovesAnOpenConnection()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command33");
        console.form.click("Option2");
        const std::vector<std::string> expected{"PortOpen 0", "CommPort 2", "PortOpen 1"};
        QCOMPARE(console.port.log, expected);
        QVERIFY(console.port.PortOpen());
        QVERIFY(!console.controls.visible("Frame8"));
        QVERIFY(console.messages.warnings.empty());
    }

    void aMissingPortIsReportedAndTheNumberGoesBack()
    {
        ConsoleFixture console;
        console.load();
        console.port.failingPorts = {2};
        console.form.click("Command33");
        console.form.click("Option2");
        QCOMPARE(console.messages.warnings, std::vector<std::string>{"COM2 (fake): no such device"});
        QCOMPARE(console.port.CommPort(), 1);
        QVERIFY(!console.port.PortOpen());
        QVERIFY(console.controls.visible("Frame8"));
        console.advance(5000);
        QVERIFY(!console.controls.visible("Frame8"));
    }

    // Once a choice failed, the port is closed; a later choice must open it rather than report success.
    void aChoiceAfterAFailureOpensTheChosenPort_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<bool>("com1Fails");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<int>("commPort");
        QTest::newRow("COM1 back") << "Option1" << false << true << 1;
        QTest::newRow("COM2 again, still missing") << "Option2" << false << false << 1;
        QTest::newRow("COM1, now missing too") << "Option1" << true << false << 2;
    }
    void aChoiceAfterAFailureOpensTheChosenPort()
    {
        QFETCH(QString, option);
        QFETCH(bool, com1Fails);
        QFETCH(bool, opened);
        QFETCH(int, commPort);
        ConsoleFixture console;
        console.load();
        console.port.failingPorts = {2};
        console.form.click("Command33");
        console.form.click("Option2");
        if (com1Fails)
            console.port.failingPorts.insert(1);
        console.form.click(option.toStdString());
        QCOMPARE(console.port.PortOpen(), opened);
        QCOMPARE(console.port.CommPort(), commPort);
        QCOMPARE(console.controls.visible("Frame8"), !opened);
        QCOMPARE(console.messages.warnings.size(), std::size_t(opened ? 1 : 2));
    }

    // A port whose server answers later: the panel stays until it does, commands wait for it, and a
    // server that does not answer is told as a port that is missing is.
    void aChoiceWaitsForItsServer_data()
    {
        QTest::addColumn<bool>("answers");
        QTest::newRow("answers") << true;
        QTest::newRow("does not answer") << false;
    }
    void aChoiceWaitsForItsServer()
    {
        QFETCH(bool, answers);
        ConsoleFixture console;
        console.load();
        console.port.connectingPorts = {2};
        console.form.click("Command33");
        console.form.click("Option2");
        QVERIFY(console.port.PortOpen());
        QVERIFY(console.controls.visible("Frame8"));
        console.form.click("Command44");
        QCOMPARE(console.caption("Label11"), std::string(" C R 0 CR "));
        QVERIFY(console.port.written.empty());
        console.advance(500);
        if (answers)
            console.port.connect();
        else
            console.port.failConnecting("no answer from 127.0.0.1");
        QCOMPARE(console.controls.visible("Frame8"), !answers);
        QCOMPARE(console.port.written, std::string(answers ? "CR0\r" : ""));
        QCOMPARE(console.port.PortOpen(), answers);
        QCOMPARE(console.port.CommPort(), answers ? 2 : 1);
        QCOMPARE(console.messages.warnings,
                 answers ? std::vector<std::string>{}
                         : std::vector<std::string>{"COM2 (fake): no answer from 127.0.0.1"});
        QVERIFY(console.messages.errors.empty());
    }

    // The operator chooses again while the first choice still waits: only the last choice counts.
    void aChoiceWhileAnotherWaitsReplacesIt()
    {
        ConsoleFixture console;
        console.load();
        console.port.connectingPorts = {2};
        console.form.click("Command33");
        console.form.click("Option2");
        console.form.click("Option1");
        QVERIFY(!console.port.connecting());
        QVERIFY(!console.controls.visible("Frame8"));
        QCOMPARE(console.port.CommPort(), 1);
        console.port.failConnecting("no answer from 127.0.0.1");
        QVERIFY(console.messages.warnings.empty());
        QCOMPARE(console.port.CommPort(), 1);
    }

    void aLostLineIsToldOnceAndAChoiceReopens()
    {
        ConsoleFixture console;
        console.load();
        console.port.lose();
        QCOMPARE(console.messages.errors,
                 std::vector<std::string>{"6: COM1 (fake): the connection was lost; choose the port again"});
        console.form.click("Command33");
        console.form.click("Option1");
        QVERIFY(console.port.PortOpen());
        console.form.click("Command17");
        QCOMPARE(console.port.written, std::string("C00\r"));
    }

    void speedChangesInPlaceAndLeavesThePortChoice()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command33");
        console.form.click("Option10");
        QCOMPARE(console.port.log, std::vector<std::string>{"Settings 9600,N,8,1"});
        QVERIFY(console.port.PortOpen());
        QCOMPARE(console.form.fields().PortSettings, std::string("9600,N,8,1"));
        QVERIFY(!console.controls.visible("Frame8"));
        console.form.click("Option9");
        QCOMPARE(console.form.fields().PortSettings, std::string("19200,N,8,1"));
    }

    void thePanelHidesFiveSecondsAfterCom()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command33");
        QVERIFY(console.controls.visible("Frame8"));
        console.advance(4999);
        QVERIFY(console.controls.visible("Frame8"));
        console.advance(1);
        QVERIFY(!console.controls.visible("Frame8"));
        QVERIFY(!console.Timer3.enabled());
    }
};

QTEST_GUILESS_MAIN(TestPortSwitch)
#include "tst_portswitch.moc"
