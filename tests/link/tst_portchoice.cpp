#include "link/portchoice.h"

#include <QTest>

namespace {
PortDescription adapter(const std::string &device, const std::string &serial, const std::string &byId = {})
{
    PortDescription port;
    port.device = device;
    port.serialNumber = serial;
    port.byIdName = byId;
    port.usb = true;
    return port;
}

PortDescription builtIn(const std::string &device)
{
    PortDescription port;
    port.device = device;
    return port;
}

using Ports = std::vector<PortDescription>;
} // namespace

Q_DECLARE_METATYPE(Ports)

// Which port "auto" reaches: USB adapters in an order that survives a replug, else the PC's own ports.
class TestPortChoice : public QObject
{
    Q_OBJECT

private slots:
    void choosesTheSameAdapterWhateverTheProbeOrder_data()
    {
        QTest::addColumn<Ports>("ports");
        QTest::addColumn<QString>("com1");
        QTest::addColumn<QString>("com2");
        const PortDescription a = adapter("/dev/ttyUSB1", "A10K1");
        const PortDescription b = adapter("/dev/ttyUSB0", "B20Z9");
        QTest::newRow("none") << Ports{} << "/dev/ttyS0"
                              << "/dev/ttyS1";
        QTest::newRow("built-in ports only")
            << Ports{builtIn("/dev/ttyS0"), builtIn("/dev/ttyS1")} << "/dev/ttyS0"
            << "/dev/ttyS1";
        QTest::newRow("one adapter") << Ports{builtIn("/dev/ttyS0"), a} << "/dev/ttyUSB1"
                                     << "/dev/ttyS1";
        QTest::newRow("two adapters by serial number") << Ports{b, a} << "/dev/ttyUSB1"
                                                       << "/dev/ttyUSB0";
        QTest::newRow("probed the other way") << Ports{a, b} << "/dev/ttyUSB1"
                                              << "/dev/ttyUSB0";
        QTest::newRow("replugged under new names")
            << Ports{adapter("/dev/ttyUSB3", "B20Z9"), adapter("/dev/ttyUSB2", "A10K1")} << "/dev/ttyUSB2"
            << "/dev/ttyUSB3";
        QTest::newRow("no serial numbers: by-id names")
            << Ports{adapter("/dev/ttyUSB0", "", "/dev/serial/by-id/usb-Prolific_PL2303-if00-port0"),
                     adapter("/dev/ttyACM0", "", "/dev/serial/by-id/usb-Arduino_Uno-if00")}
            << "/dev/ttyACM0"
            << "/dev/ttyUSB0";
        QTest::newRow("nothing but devices")
            << Ports{adapter("/dev/ttyUSB1", ""), adapter("/dev/ttyUSB0", "")} << "/dev/ttyUSB0"
            << "/dev/ttyUSB1";
        QTest::newRow("one chip, two ports, same serial number")
            << Ports{adapter("/dev/ttyUSB5", "FT4232"), adapter("/dev/ttyUSB4", "FT4232")} << "/dev/ttyUSB4"
            << "/dev/ttyUSB5";
    }
    void choosesTheSameAdapterWhateverTheProbeOrder()
    {
        QFETCH(Ports, ports);
        QFETCH(QString, com1);
        QFETCH(QString, com2);
        QCOMPARE(QString::fromStdString(chooseAutoDevice(ports, 1, "/dev/ttyS0")), com1);
        QCOMPARE(QString::fromStdString(chooseAutoDevice(ports, 2, "/dev/ttyS1")), com2);
    }

    void listsEveryPortOnALine_data()
    {
        QTest::addColumn<Ports>("ports");
        QTest::addColumn<QString>("listing");
        PortDescription full =
            adapter("/dev/ttyUSB0", "A10K1", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1-if00-port0");
        full.description = "FT232R USB UART";
        full.manufacturer = "FTDI";
        full.vendorId = 0x0403;
        full.productId = 0x6001;
        QTest::newRow("none") << Ports{} << "no serial ports found\n";
        QTest::newRow("built-in") << Ports{builtIn("/dev/ttyS0")}
                                  << "/dev/ttyS0  built-in port\nno USB serial adapter found\n";
        QTest::newRow("adapter and built-in")
            << Ports{full, builtIn("/dev/ttyS1")}
            << "/dev/ttyUSB0  /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1-if00-port0  FT232R USB UART  "
               "made by FTDI  serial A10K1  USB 0403:6001\n/dev/ttyS1  built-in port\n";
    }
    void listsEveryPortOnALine()
    {
        QFETCH(Ports, ports);
        QFETCH(QString, listing);
        QCOMPARE(QString::fromStdString(portListing(ports)), listing);
    }
};

QTEST_GUILESS_MAIN(TestPortChoice)
#include "tst_portchoice.moc"
