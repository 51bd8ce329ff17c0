#include "pty.h"
#include "qt/qtserialport.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QTest>

// The serial layer over a real pseudo-terminal: exact bytes both ways and honest failures.
class TestQtSerialPort : public QObject
{
    Q_OBJECT

    static std::string allBytes()
    {
        std::string bytes;
        for (int value = 0; value < 256; ++value)
            bytes.push_back(char(value));
        return bytes;
    }

private slots:
    void commandsReachTheLineExactly()
    {
        Pty pty;
        QtSerialPort port(QString::fromStdString(pty.slavePath()), "/dev/null-com2");
        port.setPortOpen(true);
        port.Output("C00\r");
        QCOMPARE(pty.read(4), std::string("C00\r"));
        port.Output(allBytes());
        QCOMPARE(pty.read(256), allBytes());
    }

    void arrivalsRaiseOnCommAndInputTakesThemAll()
    {
        Pty pty;
        QtSerialPort port(QString::fromStdString(pty.slavePath()), "/dev/null-com2");
        std::string received;
        int events = 0;
        port.setOnComm([&] {
            ++events;
            QCOMPARE(port.CommEvent(), SerialPort::ReceiveEvent);
            received += port.Input();
        });
        port.setPortOpen(true);
        pty.write("8");
        QTRY_COMPARE(received, std::string("8"));
        pty.write(allBytes());
        QTRY_COMPARE(received, "8" + allBytes());
        QVERIFY(events >= 2);
    }

    void aMissingDeviceIsNamed()
    {
        QtSerialPort port("/dev/tavo-no-such-device", "/dev/null-com2");
        try {
            port.setPortOpen(true);
            QFAIL("opened a missing device");
        } catch (const SerialError &error) {
            QCOMPARE(error.number(), SerialError::NoSuchDevice);
            QCOMPARE(error.description(), std::string("COM1 (/dev/tavo-no-such-device): no such device"));
        }
        QVERIFY(!port.PortOpen());
    }

    void aDeviceHeldByAnotherProgramIsInUse()
    {
        Pty pty;
        QtSerialPort first(QString::fromStdString(pty.slavePath()), "");
        first.setPortOpen(true);
        QtSerialPort second(QString::fromStdString(pty.slavePath()), "");
        try {
            second.setPortOpen(true);
            QFAIL("opened a device another port holds");
        } catch (const SerialError &error) {
            QCOMPARE(error.number(), SerialError::InUse);
            QVERIFY(error.description().find("in use by another program") != std::string::npos);
        }
    }

    void settingsApplyInPlace()
    {
        Pty pty;
        QtSerialPort port(QString::fromStdString(pty.slavePath()), "");
        port.setPortOpen(true);
        port.setSettings("9600,N,8,1");
        QVERIFY(port.PortOpen());
        const int slave = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(slave >= 0);
        termios line{};
        ::tcgetattr(slave, &line);
        ::close(slave);
        QCOMPARE(cfgetospeed(&line), speed_t(B9600));
        QVERIFY_THROWS_EXCEPTION(SerialError, port.setSettings("9600,X,8,1"));
    }

    void outputOnAClosedPortFails()
    {
        QtSerialPort port("/dev/tavo-no-such-device", "");
        try {
            port.Output("C00\r");
            QFAIL("wrote to a closed port");
        } catch (const SerialError &error) {
            QCOMPARE(error.number(), SerialError::PortNotOpen);
        }
        port.setPortOpen(false);
    }

    void aLostLineClosesThePortAndIsToldOnce()
    {
        Pty pty;
        QtSerialPort port(QString::fromStdString(pty.slavePath()), "");
        int lost = 0;
        port.setOnLost([&](const SerialError &error) {
            ++lost;
            QCOMPARE(error.number(), SerialError::LineLost);
        });
        port.setPortOpen(true);
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!port.PortOpen(), 5000);
        QTest::qWait(200);
        QCOMPARE(lost, 1);
    }
};

QTEST_GUILESS_MAIN(TestQtSerialPort)
#include "tst_qtserialport.moc"
