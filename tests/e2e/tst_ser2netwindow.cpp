#include "pty.h"
#include "qt/port/qtserialport.h"
#include "ser2net.h"
#include "windowconsole.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QLineEdit>
#include <QTest>

using namespace std::chrono_literals;

namespace {
constexpr auto HoldTime = 1000ms;
constexpr std::size_t FillerBytes = 20 * 1024;
const std::string ArrowCommand = "C3A\r";

speed_t lineSpeed(const Pty &pty)
{
    termios line{};
    ::tcgetattr(pty.masterFd(), &line);
    return ::cfgetospeed(&line);
}

// ser2net in front of a pseudo-terminal, started before the window opens COM1 through it.
struct Ser2netLine
{
    explicit Ser2netLine(bool rfc2217) : rfc2217(rfc2217) { started = server.start(); }

    Endpoint com1() const
    {
        return parseEndpoint((rfc2217 ? "rfc2217://127.0.0.1:" + std::to_string(server.rfc2217Port())
                                      : "tcp://127.0.0.1:" + std::to_string(server.tcpPort())));
    }

    bool rfc2217;
    Pty pty;
    Ser2net server{pty.slavePath()};
    bool started = false;
};

// The real window and its real timers, COM1 reaching the pseudo-terminal through ser2net.
struct NetworkConsole : Ser2netLine
{
    explicit NetworkConsole(bool rfc2217) : Ser2netLine(rfc2217) {}

    QtSerialPort serial{com1(), parseEndpoint("/dev/tavo-no-com2")};
    WindowConsole console{serial};

    void click(const char *name) { console.click(name); }
    std::string caption(const char *name) const { return console.window.caption(name); }
    void holdArrow(std::chrono::milliseconds span) { console.holdArrow(span); }
};

} // namespace

// The real window against ser2net in front of a pseudo-terminal, over RFC 2217 and over plain TCP.
class TestSer2netWindow : public QObject
{
    Q_OBJECT

private slots:
    void kinds_data()
    {
        QTest::addColumn<bool>("rfc2217");
        QTest::newRow("rfc2217") << true;
        QTest::newRow("tcp") << false;
    }

    void clicksArriveAndRepliesDecode_data() { kinds_data(); }
    void clicksArriveAndRepliesDecode()
    {
        SKIP_WITHOUT_SER2NET();
        QFETCH(bool, rfc2217);
        NetworkConsole line(rfc2217);
        QVERIFY2(line.started, qPrintable(line.server.output()));
        QVERIFY(line.serial.PortOpen());
        line.click("Command44");
        QCOMPARE(line.pty.read(4), std::string("CR0\r"));
        line.pty.write("80\r");
        QTRY_COMPARE(line.caption("Label22"), std::string(" Stand by"));
        QCOMPARE(line.caption("Label12"), std::string(" 8 0 CR "));
        // Byte 255 both ways: typed as one character, it arrives as one byte; received, it is traced once.
        QTRY_COMPARE(line.caption("Label12"), std::string());
        line.console.find<QLineEdit>("Text1")->setText(QString(QChar(0xFF)) + "A");
        line.click("Command95");
        QCOMPARE(line.pty.read(3), std::string("\xff"
                                               "A\r"));
        line.pty.write("\xff\r");
        QTRY_COMPARE(line.caption("Label12"), std::string(" ? CR "));
        QVERIFY(line.console.messages.errors.empty());
    }

    void nineThousandSixHundredReachesTheDeviceOverRfc2217Only_data() { kinds_data(); }
    void nineThousandSixHundredReachesTheDeviceOverRfc2217Only()
    {
        SKIP_WITHOUT_SER2NET();
        QFETCH(bool, rfc2217);
        NetworkConsole line(rfc2217);
        QVERIFY2(line.started, qPrintable(line.server.output()));
        const speed_t atStart = rfc2217 ? speed_t(B19200) : speed_t(B115200);
        QTRY_COMPARE(lineSpeed(line.pty), atStart);
        line.click("Option10");
        line.click("Command44");
        QCOMPARE(line.pty.read(4), std::string("CR0\r"));
        QTRY_COMPARE(lineSpeed(line.pty), rfc2217 ? speed_t(B9600) : atStart);
        QVERIFY(line.serial.PortOpen());
        QVERIFY(line.console.messages.errors.empty());
    }

    void aServerClosingMidHoldIsToldOnce_data() { kinds_data(); }
    void aServerClosingMidHoldIsToldOnce()
    {
        SKIP_WITHOUT_SER2NET();
        QFETCH(bool, rfc2217);
        NetworkConsole line(rfc2217);
        QVERIFY2(line.started, qPrintable(line.server.output()));
        QTimer::singleShot(300ms, [&] { line.server.stop(); });
        line.holdArrow(HoldTime);
        QVERIFY(!line.serial.PortOpen());
        QCOMPARE(line.console.messages.errors,
                 std::vector<std::string>{"6: COM1 (" + line.com1().text +
                                          "): the server closed the connection; choose the port again"});
        // Choosing the port again reconnects.
        QVERIFY(line.server.start());
        line.click("Command33");
        line.click("Option2");
        line.click("Option1");
        QVERIFY(line.serial.PortOpen());
        line.pty.readAvailable();
        line.click("Command44");
        QCOMPARE(line.pty.read(4), std::string("CR0\r"));
    }

    void aFarEndThatStopsReadingGetsEveryCommandLater()
    {
        SKIP_WITHOUT_SER2NET();
        NetworkConsole line(true);
        QVERIFY2(line.started, qPrintable(line.server.output()));
        // ser2net sets the device up, flushing it, once the console is connected: a command through it
        // shows that is over.
        line.click("Command44");
        QCOMPARE(line.pty.read(4), std::string("CR0\r"));
        // The master is not read: filler from a second opener of the device fills what it holds.
        const int slave = ::open(line.pty.slavePath().c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
        QVERIFY(slave >= 0);
        const std::string filler(FillerBytes, 'F');
        const ssize_t filled = ::write(slave, filler.data(), filler.size());
        ::close(slave);
        QVERIFY(filled > 0);
        line.holdArrow(HoldTime);
        QVERIFY(line.serial.PortOpen());
        QVERIFY(line.console.messages.errors.empty());
        std::string arrived = line.pty.readFor(500ms);
        QCOMPARE(arrived.substr(0, std::size_t(filled)), filler.substr(0, std::size_t(filled)));
        arrived.erase(0, std::size_t(filled));
        // The D.Zoom press that set the pace, then the arrow's commands, each whole.
        QCOMPARE(arrived.substr(0, 4), std::string("C30\r"));
        arrived.erase(0, 4);
        QVERIFY2(arrived.size() >= 10 * ArrowCommand.size(), qPrintable(QString::number(arrived.size())));
        for (std::size_t at = 0; at < arrived.size(); at += ArrowCommand.size())
            QCOMPARE(arrived.substr(at, ArrowCommand.size()), ArrowCommand);
    }
};

QTEST_MAIN(TestSer2netWindow)
#include "tst_ser2netwindow.moc"
