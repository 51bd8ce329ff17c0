#include "qt/port/qtserialport.h"
#include "qt/simulator/simulatedprojector.h"
#include "qt/window/consoleapp.h"
#include "windowconsole.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace std::chrono_literals;

namespace {
constexpr auto HoldTime = 600ms;

// A simulated projector and the real serial port on its pseudo-terminal, made before the window opens it.
struct SimulatedLine
{
    explicit SimulatedLine(const SimulatorOptions &options) : projector(options) {}

    SimulatedProjector projector;
    QtSerialPort serial{parseEndpoint(projector.slavePath()), parseEndpoint("/dev/tavo-no-com2")};
};

// The real window and its real timers on that line.
struct SimulatedConsole : SimulatedLine, WindowConsole
{
    explicit SimulatedConsole(const SimulatorOptions &options = {})
        : SimulatedLine(options), WindowConsole(serial)
    {
    }

    QPushButton *button(const char *name) { return find<QPushButton>(name); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    std::string caption(const char *name) const { return window.caption(name); }
    // Clicks, sees the acknowledgement, and waits out the reply period, as the console keeps every byte
    // received in it for the decoding of the next reply.
    void clickAcknowledged(const char *name)
    {
        click(name);
        QTRY_COMPARE(caption("Label12"), std::string(" ACK CR "));
        waitOutTheReplyPeriod();
    }
    void waitOutTheReplyPeriod() { QTRY_VERIFY(!timer2.enabled()); }
};
} // namespace

// The console and the simulated projector together, over a real pseudo-terminal.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void statusInStandby()
    {
        SimulatedConsole console;
        console.click("Command44");
        QTRY_COMPARE(console.caption("Label22"), std::string(" Stand by"));
        QCOMPARE(console.caption("Label12"), std::string(" 8 0 CR "));
        QVERIFY(console.messages.errors.empty());
    }

    void powerOnCountsDownThenIsOn()
    {
        SimulatedConsole console;
        console.clickAcknowledged("Command17");
        console.click("Command44");
        QTRY_COMPARE(console.caption("Label22"), std::string(" Count down"));
        console.waitOutTheReplyPeriod();
        console.projector.advanceClock(SimulatorOptions::DefaultWarmUp);
        console.click("Command44");
        QTRY_COMPARE(console.caption("Label22"), std::string(" Power ON"));
    }

    void modeAfterPc2()
    {
        SimulatedConsole console;
        console.clickAcknowledged("Command28");
        console.click("Command45");
        QTRY_COMPARE(console.caption("Label22"), std::string(" Computer 2"));
    }

    void temperaturesInTheConsoleLayout()
    {
        SimulatedConsole console;
        console.clickAcknowledged("Command17");
        console.click("Command54");
        QTRY_COMPARE(console.caption("Label22"),
                     std::string("  S1= 0 3 8 . 5 C  ,   S2=  4 1 . 0 C , S3= 0 3 6 . 0 C"));
    }

    void lampHours()
    {
        SimulatedConsole console;
        console.click("Command46");
        QTRY_COMPARE(console.caption("Label22"), std::string(" 0 1 2 3 4 CR  Hour Use"));
    }

    void freeFormPressureInHectopascals()
    {
        SimulatedConsole console;
        console.find<QLineEdit>("Text1")->setText("CR PRESSURE");
        console.click("Command95");
        QTRY_COMPARE(console.caption("Label22"), std::string("1013 hPa"));
    }

    void aHeldVolumeRepeats()
    {
        SimulatedConsole console;
        QPushButton *plus = console.button("Command1");
        QTest::mousePress(plus, Qt::LeftButton);
        QTest::qWait(int(HoldTime.count()));
        QTest::mouseRelease(plus, Qt::LeftButton);
        QTRY_VERIFY(console.projector.projector().timesReceived("C09") >= 2);
        QTRY_VERIFY(console.projector.projector().volume() > 33);
    }

    void aReplyInPiecesDecodes()
    {
        SimulatorOptions options;
        options.pieces = 3;
        options.pieceGap = 30ms;
        SimulatedConsole console(options);
        console.clickAcknowledged("Command28");
        console.click("Command45");
        QTRY_COMPARE(console.caption("Label22"), std::string(" Computer 2"));
        console.waitOutTheReplyPeriod();
        console.click("Command44");
        QTRY_COMPARE(console.caption("Label22"), std::string(" Stand by"));
    }

    void aDroppedReplyShowsCrosses()
    {
        SimulatorOptions options;
        options.dropEvery = 1;
        SimulatedConsole console(options);
        console.click("Command44");
        QTRY_COMPARE(console.caption("Label12"), std::string(" X X X X"));
        QCOMPARE(console.projector.projector().timesReceived("CR0"), 1);
    }

    void simulateConnectsBothPortsToTheirOwnProjector()
    {
        PortsAsked ports;
        ports.simulate = true;
        ConsoleApp app(ports);
        QVERIFY(app.start());
        QCOMPARE(app.simulators().size(), std::size_t(2));
        auto *status = app.window().findChild<QPushButton *>("Command44");
        QTest::mouseClick(status, Qt::LeftButton);
        QTRY_COMPARE(app.window().caption("Label22"), std::string(" Stand by"));
        QTest::mouseClick(app.window().findChild<QWidget *>("Option2"), Qt::LeftButton);
        // The clearing of the labels comes after the reply period, so the next reply starts afresh.
        QTRY_COMPARE(app.window().caption("Label12"), std::string());
        QTest::mouseClick(status, Qt::LeftButton);
        QTRY_COMPARE(app.window().caption("Label22"), std::string(" Stand by"));
        QCOMPARE(app.simulators()[0]->projector().timesReceived("CR0"), 1);
        QCOMPARE(app.simulators()[1]->projector().timesReceived("CR0"), 1);
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
