#include "consolefixture.h"

#include <QTest>

using namespace std::chrono_literals;

// Press-and-hold in virtual time: what goes out, at which pace, and what the release puts back.
class TestHold : public QObject
{
    Q_OBJECT

    static int count(const ConsoleFixture &console, const std::string &command)
    {
        int sent = 0;
        for (const std::string &write : console.port.writes)
            sent += write == command;
        return sent;
    }

private slots:
    void heldButtonsRepeatAtTheirPace_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("heldMs");
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<int>("sends");
        QTest::addColumn<int>("repeatMs");
        QTest::addColumn<int>("replyMs");
        QTest::addColumn<int>("clearMs");
        QTest::newRow("released before the first tick")
            << ""
            << "Command1" << 100 << QByteArray("C09\r") << 1 << 250 << 200 << 245;
        QTest::newRow("SELECT for 1.2 s")
            << ""
            << "Command6" << 1200 << QByteArray("C3F\r") << 3 << 500 << 200 << 245;
        QTest::newRow("VOL + for 1 s") << ""
                                       << "Command1" << 1000 << QByteArray("C09\r") << 5 << 250 << 200 << 245;
        QTest::newRow("Brightness - for 1 s")
            << ""
            << "Command35" << 1000 << QByteArray("C21\r") << 21 << 50 << 25 << 25;
        QTest::newRow("arrow after start-up")
            << ""
            << "Command5" << 1000 << QByteArray("C3C\r") << 6 << 200 << 500 << 1000;
        QTest::newRow("arrow after MENU ON")
            << "Command23"
            << "Command7" << 1000 << QByteArray("C3D\r") << 6 << 200 << 150 << 190;
        QTest::newRow("arrow after A-IMAGE")
            << "Command13"
            << "Command9" << 400 << QByteArray("C3B\r") << 3 << 200 << 150 << 190;
        QTest::newRow("arrow after a D.Zoom release")
            << "Command48"
            << "Command8" << 100 << QByteArray("C3A\r") << 21 << 5 << 5 << 5;
        QTest::newRow("arrow after MENU ON then VOL")
            << "Command23 Command1"
            << "Command8" << 1000 << QByteArray("C3A\r") << 5 << 250 << 150 << 190;
        QTest::newRow("arrow after REAL keeps its long wait")
            << "Command10"
            << "Command5" << 400 << QByteArray("C3C\r") << 3 << 200 << 2000 << 2500;
    }
    void heldButtonsRepeatAtTheirPace()
    {
        QFETCH(QString, setup);
        QFETCH(QString, control);
        QFETCH(int, heldMs);
        QFETCH(QByteArray, command);
        QFETCH(int, sends);
        QFETCH(int, repeatMs);
        QFETCH(int, replyMs);
        QFETCH(int, clearMs);
        ConsoleFixture console;
        console.load();
        for (const QString &step : setup.split(' ', Qt::SkipEmptyParts)) {
            if (Form1::isHoldButton(step.toStdString()))
                console.hold(step.toStdString(), 10);
            else
                console.form.click(step.toStdString());
            console.advance(6000);
        }
        console.port.writes.clear();
        console.form.mouseDown(control.toStdString());
        QCOMPARE(console.Timer1.interval(), std::chrono::milliseconds(repeatMs));
        QCOMPARE(console.Timer2.interval(), std::chrono::milliseconds(replyMs));
        QCOMPARE(console.Timer4.interval(), std::chrono::milliseconds(clearMs));
        console.advance(heldMs);
        console.form.mouseUp(control.toStdString());
        QCOMPARE(count(console, command.toStdString()), sends);
        QCOMPARE(int(console.port.writes.size()), sends);
        console.advance(3000);
        QCOMPARE(int(console.port.writes.size()), sends);
    }

    void theReleaseClearsTheTraceAndRestoresTheDesignPeriods()
    {
        ConsoleFixture console;
        console.load();
        console.form.click("Command44");
        console.port.deliver("00\r");
        console.form.mouseDown("Command2");
        console.port.deliver("\x06");
        console.form.mouseUp("Command2");
        QCOMPARE(console.form.fields().RepeatCode, 0);
        QVERIFY(!console.Timer1.enabled());
        QVERIFY(!console.Timer2.enabled());
        QVERIFY(console.Timer4.enabled());
        QCOMPARE(console.caption("Label11"), std::string());
        QCOMPARE(console.caption("Label12"), std::string());
        QCOMPARE(console.caption("Label22"), std::string(" Power ON"));
        QCOMPARE(console.Timer2.interval(), 500ms);
        QCOMPARE(console.Timer4.interval(), 1000ms);
        QVERIFY(console.form.fields().ReceiveBuffer.empty());
        // The pending time-out is cancelled: no " X X X X" comes.
        console.advance(999);
        QCOMPARE(console.caption("Label12"), std::string());
        QCOMPARE(console.caption("Label22"), std::string(" Power ON"));
        console.advance(1);
        QCOMPARE(console.caption("Label22"), std::string());
    }

    void aReplyAfterTheReleaseLandsInTheEmptiedBuffer()
    {
        ConsoleFixture console;
        console.load();
        console.form.mouseDown("Command50");
        console.port.deliver("\x06\r");
        console.form.mouseUp("Command50");
        console.port.deliver("\x06\r");
        QCOMPARE(console.form.fields().ReceiveBuffer, std::string("\x06\r"));
        QCOMPARE(console.caption("Label12"), std::string(" ACK CR "));
    }

    void aDZoomReleaseSetsTheFastArrowPace()
    {
        ConsoleFixture console;
        console.load();
        console.hold("Command49", 10);
        QCOMPARE(console.form.fields().ArrowPace, 3);
        QCOMPARE(console.Timer1.interval(), 5ms);
        console.hold("Command15", 10);
        QCOMPARE(console.form.fields().ArrowPace, 3);
    }

    void aLostLineEndsTheHoldAndIsToldOnce()
    {
        ConsoleFixture console;
        console.load();
        console.form.mouseDown("Command1");
        console.messages.errors.clear();
        console.port.lose();
        console.advance(2000);
        QCOMPARE(console.messages.errors,
                 std::vector<std::string>{"6: COM1 (fake): the connection was lost; choose the port again"});
        QCOMPARE(console.form.fields().RepeatCode, 0);
        QVERIFY(!console.Timer1.enabled());
        console.form.mouseUp("Command1");
        console.form.mouseDown("Command1");
        QCOMPARE(console.messages.errors.size(), std::size_t(2));
        console.advance(2000);
        QCOMPARE(console.messages.errors.size(), std::size_t(2));
    }

    // The port stays open while its writes fail: the hold ends at the first failed tick, told once.
    void aFailedTickEndsTheHoldAndIsToldOnce()
    {
        ConsoleFixture console;
        console.load();
        console.form.mouseDown("Command1");
        console.messages.errors.clear();
        console.port.refusesWrites = true;
        console.advance(2000);
        QCOMPARE(console.messages.errors.size(), std::size_t(1));
        QCOMPARE(console.form.fields().RepeatCode, 0);
        QVERIFY(!console.Timer1.enabled());
        QVERIFY(console.port.PortOpen());
    }
};

QTEST_GUILESS_MAIN(TestHold)
#include "tst_hold.moc"
