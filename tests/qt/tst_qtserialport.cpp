#include "fakecontrols.h"
#include "fakemessagebox.h"
#include "loopbacklistener.h"
#include "pty.h"
#include "qt/platform/qttimer.h"
#include "qt/port/qtserialport.h"
#include "settle.h"
#include "window/controltable.h"
#include "window/form1.h"

#include <fstream>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QFileInfo>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int LostWaitMs = 5000;
// More than a pseudo-terminal's own buffer holds, so that the line is full when nothing reads it.
constexpr std::size_t FillerBytes = 20000;
const Endpoint MissingDevice = parseEndpoint("/dev/tavo-no-such-device");

std::string allBytes()
{
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(char(value));
    return bytes;
}

Endpoint path(const Pty &pty)
{
    return parseEndpoint(pty.slavePath());
}

// What the console sends until everything expected is there, letting the port's event loop run.
std::string drain(Pty &pty, std::size_t expected)
{
    std::string received;
    // A short result fails the comparison that follows, showing what came.
    static_cast<void>(
        QTest::qWaitFor([&] { return (received += pty.readAvailable()).size() >= expected; }, LostWaitMs));
    return received + pty.readAvailable();
}

SerialError openingFails(QtSerialPort &port)
{
    try {
        port.setPortOpen(true);
    } catch (const SerialError &error) {
        return error;
    }
    return SerialError(SerialError::Number(0), "opened");
}

// The speed the console's side of the pair runs at, as the terminal driver holds it.
speed_t lineSpeed(const Pty &pty)
{
    termios line{};
    ::tcgetattr(pty.masterFd(), &line);
    return ::cfgetospeed(&line);
}

// A message box whose operator, told that the line is lost, chooses COM1 before closing it.
class ChoosingAgainMessageBox : public FakeMessageBox
{
public:
    void error(int number, const std::string &description) override
    {
        FakeMessageBox::error(number, description);
        if (number == SerialError::LineLost)
            form->click("Option1");
    }

    Form1 *form = nullptr;
};
} // namespace

// The serial port over real peers, a pseudo-terminal and a TCP listener: exact bytes both ways and failures
// in the operator's words.
class TestQtSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void sendsEveryByteOnTheChosenPort_data()
    {
        QTest::addColumn<int>("commPort");
        QTest::newRow("COM1") << 1;
        QTest::newRow("COM2") << 2;
    }
    void sendsEveryByteOnTheChosenPort()
    {
        QFETCH(int, commPort);
        Pty pty;
        QtSerialPort port(commPort == 1 ? path(pty) : MissingDevice,
                          commPort == 2 ? path(pty) : MissingDevice);
        port.setCommPort(commPort);
        port.setPortOpen(true);
        port.setPortOpen(true);
        QVERIFY(port.PortOpen());
        port.Output("C00\r");
        QCOMPARE(pty.read(4), std::string("\x43\x30\x30\x0d"));
        port.Output(allBytes());
        QCOMPARE(pty.read(256), allBytes());
        port.setPortOpen(false);
        port.setPortOpen(false);
        QVERIFY(!port.PortOpen());
    }

    void arrivalsRaiseOnCommAndInputTakesThemAll()
    {
        Pty pty;
        QtSerialPort port(path(pty), MissingDevice);
        std::string received;
        int events = 0;
        port.setOnComm([&] {
            ++events;
            QCOMPARE(port.CommEvent(), SerialPort::ReceiveEvent);
            received += port.Input();
        });
        port.setPortOpen(true);
        QCOMPARE(port.Input(), std::string());
        pty.write("8");
        QTRY_COMPARE(received, std::string("8"));
        pty.write("0\r");
        QTRY_COMPARE(received, std::string("80\r"));
        pty.write(allBytes());
        QTRY_COMPARE(received, "80\r" + allBytes());
        QVERIFY(events >= 3);
        QCOMPARE(port.Input(), std::string());
    }

    void aMissingDeviceIsNamed()
    {
        QtSerialPort port(MissingDevice, parseEndpoint("/dev/tavo-no-such-device2"));
        port.setCommPort(2);
        const SerialError error = openingFails(port);
        QCOMPARE(error.number(), SerialError::NoSuchDevice);
        QCOMPARE(error.description(), std::string("COM2 (/dev/tavo-no-such-device2): no such device"));
        QVERIFY(!port.PortOpen());
    }

    void openingFailsWithTheRealReason_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing" << int(SerialError::NoSuchDevice) << "no such device";
        QTest::newRow("under a file") << "under a file" << int(SerialError::NoSuchDevice) << "no such device";
        QTest::newRow("directory") << "directory" << int(SerialError::OpenFailed)
                                   << "is a directory, not a serial device";
        QTest::newRow("file") << "file" << int(SerialError::OpenFailed) << "is a file, not a serial device";
        QTest::newRow("FIFO") << "FIFO" << int(SerialError::OpenFailed) << "is a FIFO, not a serial device";
        QTest::newRow("/dev/null") << "/dev/null" << int(SerialError::OpenFailed) << "not a serial device";
        QTest::newRow("/dev/zero") << "/dev/zero" << int(SerialError::OpenFailed) << "not a serial device";
        QTest::newRow("name too long")
            << "too long" << int(SerialError::OpenFailed) << "the name is too long (5005 characters)";
    }
    void openingFailsWithTheRealReason()
    {
        QFETCH(QString, kind);
        QFETCH(int, number);
        QFETCH(QString, reason);
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        const std::string file = directory.filePath("file").toStdString();
        std::ofstream(file) << "not a line";
        const std::string fifo = directory.filePath("fifo").toStdString();
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
        const std::map<QString, std::string> paths = {
            {"missing", "/dev/tavo-no-such-device"},
            {"under a file", file + "/ttyS0"},
            {"directory", directory.path().toStdString()},
            {"file", file},
            {"FIFO", fifo},
            {"/dev/null", "/dev/null"},
            {"/dev/zero", "/dev/zero"},
            {"too long", "/tmp/" + std::string(5000, 'a')},
        };
        const std::string device = paths.at(kind);
        QtSerialPort port(parseEndpoint(device), MissingDevice);
        const SerialError error = openingFails(port);
        QCOMPARE(int(error.number()), number);
        QCOMPARE(QString::fromStdString(error.description()),
                 QString::fromStdString("COM1 (" + device + "): ") + reason);
        QVERIFY(!port.PortOpen());
    }

    // A PC's /dev/ttyS0 usually opens with nothing behind it; auto falls back to it without an adapter.
    void aBuiltInPortWithoutHardwareIsNoSuchDevice_data()
    {
        QTest::addColumn<QString>("endpoint");
        QTest::newRow("named") << "/dev/ttyS0";
        QTest::newRow("auto") << "auto";
    }
    void aBuiltInPortWithoutHardwareIsNoSuchDevice()
    {
        QFETCH(QString, endpoint);
        const QList<QSerialPortInfo> listed = QSerialPortInfo::availablePorts();
        if (!QFileInfo::exists("/dev/ttyS0") ||
            std::any_of(listed.begin(), listed.end(), [](const QSerialPortInfo &info) {
                return info.systemLocation() == "/dev/ttyS0" || info.hasVendorIdentifier();
            }))
            QSKIP("this machine has serial hardware or no /dev/ttyS0");
        QtSerialPort port(parseEndpoint(endpoint.toStdString()), MissingDevice);
        const SerialError error = openingFails(port);
        QCOMPARE(error.number(), SerialError::NoSuchDevice);
        QCOMPARE(QString::fromStdString(error.description()), QString("COM1 (/dev/ttyS0): no such device"));
    }

    void aDeviceHeldByAnotherPortIsInUse()
    {
        Pty pty;
        QtSerialPort first(path(pty), MissingDevice);
        first.setPortOpen(true);
        QtSerialPort second(path(pty), MissingDevice);
        const SerialError error = openingFails(second);
        QCOMPARE(error.number(), SerialError::InUse);
        // QSerialPort's lock file names this test program as the holder.
        QCOMPARE(QString::fromStdString(error.description()),
                 QString::fromStdString("COM1 (" + pty.slavePath() +
                                        "): in use by another program (process " +
                                        std::to_string(::getpid()) + ", ") +
                     QFileInfo(QCoreApplication::applicationFilePath()).fileName() + ")");
        QVERIFY(first.PortOpen());
        QVERIFY(!second.PortOpen());
    }

    void aDeviceWithoutRightsIsNoPermission()
    {
        if (::geteuid() == 0)
            QSKIP("the superuser opens a device whatever its rights");
        Pty pty;
        QCOMPARE(::chmod(pty.slavePath().c_str(), 0), 0);
        QtSerialPort port(path(pty), MissingDevice);
        const SerialError error = openingFails(port);
        QCOMPARE(error.number(), SerialError::NoPermission);
        // A pseudo-terminal is not a dialout device: joining that group would not help.
        const QString description = QString::fromStdString(error.description());
        QVERIFY2(
            description.startsWith(QString::fromStdString("COM1 (" + pty.slavePath() + "): no permission (")),
            qPrintable(description));
        QVERIFY2(!description.contains("dialout"), qPrintable(description));
    }

    void aPortNumberOtherThanOneOrTwoIsRefused_data()
    {
        QTest::addColumn<int>("commPort");
        QTest::newRow("0") << 0;
        QTest::newRow("3") << 3;
        QTest::newRow("-1") << -1;
    }
    void aPortNumberOtherThanOneOrTwoIsRefused()
    {
        QFETCH(int, commPort);
        QtSerialPort port(MissingDevice, MissingDevice);
        port.setCommPort(2);
        try {
            port.setCommPort(commPort);
            QFAIL("took the port number");
        } catch (const SerialError &error) {
            QCOMPARE(error.number(), SerialError::BadPortNumber);
        }
        QCOMPARE(port.CommPort(), 2);
    }

    void settingsTakeEffectAtOnce()
    {
        Pty pty;
        QtSerialPort port(path(pty), MissingDevice);
        port.setSettings("9600,N,8,1");
        port.setPortOpen(true);
        QCOMPARE(lineSpeed(pty), speed_t(B9600));
        port.setSettings("19200,N,8,1");
        QVERIFY(port.PortOpen());
        QCOMPARE(lineSpeed(pty), speed_t(B19200));
        port.setSettings("9600,N,8,1");
        QCOMPARE(lineSpeed(pty), speed_t(B9600));
        QVERIFY_THROWS_EXCEPTION(SerialError, port.setSettings("19200,X,8,1"));
        QVERIFY(port.PortOpen());
        QCOMPARE(lineSpeed(pty), speed_t(B9600));
        port.Output("C00\r");
        QCOMPARE(pty.read(4), std::string("C00\r"));
    }

    void outputOnAClosedPortFails()
    {
        Pty pty;
        QtSerialPort port(path(pty), MissingDevice);
        port.setPortOpen(true);
        port.setPortOpen(false);
        try {
            port.Output("C00\r");
            QFAIL("wrote to a closed port");
        } catch (const SerialError &error) {
            QCOMPARE(error.number(), SerialError::PortNotOpen);
            QCOMPARE(error.description(), "COM1 (" + pty.slavePath() + "): port is not open");
        }
        QCOMPARE(pty.readAvailable(), std::string());
    }

    void aLostLineClosesThePortAndIsToldOnce()
    {
        Pty pty;
        QtSerialPort port(path(pty), MissingDevice);
        std::vector<SerialError> lost;
        port.setOnLost([&](const SerialError &error) {
            QVERIFY(!port.PortOpen());
            lost.push_back(error);
        });
        port.setPortOpen(true);
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!port.PortOpen(), LostWaitMs);
        settle();
        QCOMPARE(lost.size(), 1u);
        QCOMPARE(lost[0].number(), SerialError::LineLost);
        QVERIFY2(lost[0].description().starts_with("COM1 (" + pty.slavePath() + "): the connection was lost"),
                 lost[0].description().c_str());
    }

    // The recipe of a far end that stops reading: filler fills the line, then an arrow is held. Commands
    // wait in order up to the bound, the one that would pass it is refused whole, and the port stays open.
    void aSlowLineIsNotALostLine()
    {
        Pty pty;
        QtSerialPort port(path(pty), MissingDevice);
        int lost = 0;
        port.setOnLost([&](const SerialError &) { ++lost; });
        port.setPortOpen(true);
        const std::string filler(FillerBytes, 'x');
        port.Output(filler);
        const std::string arrow = "C3A\r";
        std::size_t accepted = 0;
        std::optional<SerialError> refused;
        while (!refused && accepted <= ByteLink::WriteQueueLimit) {
            try {
                port.Output(arrow);
                ++accepted;
                QCoreApplication::processEvents();
            } catch (const SerialError &error) {
                refused = error;
            }
        }
        QVERIFY(refused);
        QCOMPARE(refused->number(), SerialError::LineBusy);
        const std::string busy = "COM1 (" + pty.slavePath() + "): the line is not taking data (";
        QVERIFY2(refused->description().starts_with(busy), refused->description().c_str());
        const std::size_t waiting = std::stoul(refused->description().substr(busy.size()));
        QVERIFY(waiting <= ByteLink::WriteQueueLimit && waiting + arrow.size() > ByteLink::WriteQueueLimit);
        QVERIFY(port.PortOpen());
        QCOMPARE(lost, 0);

        std::string expected = filler;
        for (std::size_t i = 0; i < accepted; ++i)
            expected += arrow;
        QCOMPARE(drain(pty, expected.size()), expected);
        port.Output("C00\r");
        QCOMPARE(pty.read(4), std::string("C00\r"));
        QCOMPARE(lost, 0);
    }

    // A line that goes away shows first when a command goes out, whether or not commands wait for it:
    // told once, and the next command finds the port closed.
    void aLineLostUnderAWriteIsToldOnce_data()
    {
        QTest::addColumn<bool>("commandsWaiting");
        QTest::newRow("nothing waiting") << false;
        QTest::newRow("commands waiting") << true;
    }
    void aLineLostUnderAWriteIsToldOnce()
    {
        QFETCH(bool, commandsWaiting);
        Pty pty;
        QtSerialPort port(path(pty), MissingDevice);
        int lost = 0;
        port.setOnLost([&](const SerialError &) { ++lost; });
        port.setPortOpen(true);
        if (commandsWaiting)
            port.Output(std::string(FillerBytes, 'x'));
        pty.closeMaster();
        port.Output("C00\r");
        QVERIFY(!port.PortOpen());
        QTRY_COMPARE(lost, 1);
        settle();
        QCOMPARE(lost, 1);
        QVERIFY_THROWS_EXCEPTION(SerialError, port.Output("C00\r"));
    }

    // The server refuses the line's settings and sends a reply in the same piece: the notice and the
    // arrival are both on their way when the notice's handler moves to COM2. The arrival belonged to the
    // link that was replaced, and is not told.
    void aReplacedLinksLateEventsAreNotTold()
    {
        LoopbackListener server;
        Pty com2;
        QtSerialPort port(parseEndpoint("rfc2217://127.0.0.1:" + std::to_string(server.port())), path(com2));
        int onComm = 0;
        std::vector<std::string> notices;
        // Posted behind the arrival already on its way, so that once it has run the arrival has been seen.
        bool arrivalPassed = false;
        port.setOnComm([&] { ++onComm; });
        port.setOnNotice([&](const std::string &text) {
            notices.push_back(text);
            port.setPortOpen(false);
            port.setCommPort(2);
            port.setPortOpen(true);
            QMetaObject::invokeMethod(
                &port, [&] { arrivalPassed = true; }, Qt::QueuedConnection);
        });
        port.setPortOpen(true);
        QVERIFY(server.accept(std::chrono::seconds(2)));
        QTRY_VERIFY(!port.connecting());
        const std::string refusalAndReply = "\xff\xfe\x2c"
                                            "80\r";
        QCOMPARE(server.send(refusalAndReply), refusalAndReply.size());
        QTRY_VERIFY(arrivalPassed);
        QCOMPARE(notices.size(), std::size_t(1));
        QCOMPARE(onComm, 0);
        QCOMPARE(port.CommPort(), 2);
        QCOMPARE(port.Input(), std::string());
        com2.write("00\r");
        QTRY_COMPARE(onComm, 1);
        QCOMPARE(port.Input(), std::string("00\r"));
    }

    // The console on COM2 loses its line, found by a command on a pseudo-terminal and by the socket when a
    // TCP server hangs up, and the operator chooses COM1 from inside the message that says so: the lost
    // link gives way to the new one, which carries both ways.
    void aPortChosenInsideTheLostLineMessageWorks_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::newRow("pseudo-terminal, lost under a command") << false;
        QTest::newRow("tcp, closed by the server") << true;
    }
    void aPortChosenInsideTheLostLineMessageWorks()
    {
        QFETCH(bool, tcp);
        Pty com1;
        Pty com2Line;
        LoopbackListener com2Server;
        const Endpoint com2 =
            tcp ? parseEndpoint("tcp://127.0.0.1:" + std::to_string(com2Server.port())) : path(com2Line);
        QtSerialPort port(path(com1), com2);
        QtTimer timer1{Timer1Interval};
        QtTimer timer2{Timer2Interval};
        QtTimer timer3{Timer3Interval};
        QtTimer timer4{Timer4Interval};
        FakeControls controls;
        ChoosingAgainMessageBox messages;
        Form1 form(Platform{port, timer1, timer2, timer3, timer4, controls, messages});
        messages.form = &form;
        form.Form_Load();
        form.click("Command33");
        form.click("Option2");
        QVERIFY(port.PortOpen());
        if (tcp) {
            QVERIFY(com2Server.accept(std::chrono::seconds(2)));
            // Open, past the server's first words: a close now is a lost line, not a refusal.
            QTRY_VERIFY(!port.connecting());
            com2Server.hangUp();
        } else {
            com2Line.closeMaster();
            form.click("Command44");
        }
        QTRY_COMPARE_WITH_TIMEOUT(messages.errors.size(), std::size_t(1), LostWaitMs);
        const std::string lost = std::to_string(SerialError::LineLost) + ": COM2 (" + com2.text + "): ";
        QVERIFY2(messages.errors[0].starts_with(lost), messages.errors[0].c_str());
        QVERIFY(messages.warnings.empty());
        QCOMPARE(port.CommPort(), 1);
        QVERIFY(port.PortOpen());
        // What the lost command started runs out first, so that nothing clears the reply once shown.
        QTRY_VERIFY(!timer2.enabled() && !timer4.enabled());
        com1.write("80\r");
        QTRY_COMPARE(controls.caption("Label12"), std::string(" 8 0 CR "));
        form.click("Command44");
        QCOMPARE(com1.read(4), std::string("CR0\r"));
        QCOMPARE(messages.errors.size(), std::size_t(1));
    }
};

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qtserialport.moc"
