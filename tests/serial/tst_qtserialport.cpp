#include "pty.h"
#include "qt/qtserialport.h"

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QTest>

namespace {
constexpr int LostWaitMs = 5000;
// Long enough for thousands of the repeated error signals a lost line would bring if the port stayed open.
constexpr int AfterLossMs = 200;
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
} // namespace

// The serial layer over a real pseudo-terminal: exact bytes both ways and failures in the operator's words.
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

    void aDeviceHeldByAnotherPortIsInUse()
    {
        Pty pty;
        QtSerialPort first(path(pty), MissingDevice);
        first.setPortOpen(true);
        QtSerialPort second(path(pty), MissingDevice);
        const SerialError error = openingFails(second);
        QCOMPARE(error.number(), SerialError::InUse);
        QCOMPARE(error.description(), "COM1 (" + pty.slavePath() + "): in use by another program");
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
        QCOMPARE(error.description(),
                 "COM1 (" + pty.slavePath() + "): no permission (join the dialout group)");
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
        QTest::qWait(AfterLossMs);
        QCOMPARE(lost.size(), 1u);
        QCOMPARE(lost[0].number(), SerialError::LineLost);
        QVERIFY2(lost[0].description().starts_with("COM1 (" + pty.slavePath() + "): the connection was lost"),
                 lost[0].description().c_str());
    }

    // The loss shows first when a command goes out: told once, and the next command finds the port closed.
    void aLineLostUnderAWriteIsToldOnce()
    {
        Pty pty;
        QtSerialPort port(path(pty), MissingDevice);
        int lost = 0;
        port.setOnLost([&](const SerialError &) { ++lost; });
        port.setPortOpen(true);
        pty.closeMaster();
        port.Output("C00\r");
        QCOMPARE(lost, 1);
        QVERIFY(!port.PortOpen());
        QTest::qWait(AfterLossMs);
        QCOMPARE(lost, 1);
        QVERIFY_THROWS_EXCEPTION(SerialError, port.Output("C00\r"));
    }
};

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qtserialport.moc"
