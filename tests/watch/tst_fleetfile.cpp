#include "watch/fleetfile.h"

#include <QTest>

// The fleet file as a technician writes it, and each kind of mistake told with its line.
class TestFleetFile : public QObject
{
    Q_OBJECT

private slots:
    void readsEachProjector()
    {
        const std::vector<FleetProjector> fleet =
            parseFleetFile("# name  endpoint  speed\n"
                           "hall-a\trfc2217://10.1.0.21:4001\n"
                           "\n"
                           "  hall_b.2   tcp://[::1]:4002   9600  # the old one\r\n"
                           "lab-2 /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1-if00-port0",
                           "fleet");
        QCOMPARE(fleet.size(), std::size_t(3));
        QCOMPARE(fleet[0].name, std::string("hall-a"));
        QVERIFY(fleet[0].endpoint.kind == Endpoint::Kind::Rfc2217);
        QCOMPARE(fleet[0].settings, std::string("19200,N,8,1"));
        QCOMPARE(fleet[1].name, std::string("hall_b.2"));
        QCOMPARE(fleet[1].endpoint.port, std::uint16_t(4002));
        QCOMPARE(fleet[1].settings, std::string("9600,N,8,1"));
        QVERIFY(fleet[2].endpoint.kind == Endpoint::Kind::Device);
    }

    // The fields after the endpoint, in the forms a line may take: a line without keys reads as before.
    void readsFields_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("group");
        QTest::newRow("speed alone") << QByteArray("a /dev/ttyS0 9600") << "9600,N,8,1"
                                     << "";
        QTest::newRow("neither") << QByteArray("a /dev/ttyS0") << "19200,N,8,1"
                                 << "";
        QTest::newRow("group without speed") << QByteArray("a /dev/ttyS0 group=hall.1") << "19200,N,8,1"
                                             << "hall.1";
        QTest::newRow("speed and group")
            << QByteArray("a tcp://h:1\t9600  group=Left_Wing # x") << "9600,N,8,1"
            << "Left_Wing";
        QTest::newRow("a name like a key's") << QByteArray("group-a /dev/ttyS0") << "19200,N,8,1"
                                             << "";
    }
    void readsFields()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, settings);
        QFETCH(QString, group);
        const std::vector<FleetProjector> fleet =
            parseFleetFile(std::string_view(line.constData(), std::size_t(line.size())), "fleet");
        QCOMPARE(fleet.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(fleet[0].settings), settings);
        QCOMPARE(QString::fromStdString(fleet[0].group), group);
    }

    // Names resolved by the program: two hosts that share an address are one server.
    // PORT alone listens on every address for PJLink, on the loopback for a lent line; HOST:PORT on that
    // one.
    void readsServerAddresses_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("pjlink");
        QTest::addColumn<QString>("lend");
        QTest::newRow("port alone") << QByteArray("a /dev/ttyS0 pjlink=4352") << "0.0.0.0:4352"
                                    << "";
        QTest::newRow("host and port")
            << QByteArray("a /dev/ttyS0 9600 group=g pjlink=127.0.0.1:0") << "127.0.0.1:0"
            << "";
        QTest::newRow("IPv6") << QByteArray("a /dev/ttyS0 pjlink=[::1]:4352") << "::1:4352"
                              << "";
        QTest::newRow("lent alone") << QByteArray("a /dev/ttyS0 lend=4001") << ""
                                    << "127.0.0.1:4001";
        QTest::newRow("both") << QByteArray("a /dev/ttyS0 lend=127.0.0.1:4001 pjlink=4352") << "0.0.0.0:4352"
                              << "127.0.0.1:4001";
    }
    void readsServerAddresses()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, pjlink);
        QFETCH(QString, lend);
        const std::vector<FleetProjector> fleet =
            parseFleetFile(std::string_view(line.constData(), std::size_t(line.size())), "fleet");
        const auto shown = [](const std::optional<HostPort> &address) {
            return address ? QString::fromStdString(address->host + ":" + std::to_string(address->port))
                           : QString();
        };
        QCOMPARE(shown(fleet[0].pjlink), pjlink);
        QCOMPARE(shown(fleet[0].lend), lend);
    }

    void refusesTwoNamesOfOneServer()
    {
        const HostAddresses resolved = [](const std::string &host) {
            return host == "localhost" ? std::vector<std::string>{"::1", "127.0.0.1"}
                                       : std::vector<std::string>{host};
        };
        QVERIFY_THROWS_EXCEPTION(
            FleetFileError, parseFleetFile("a tcp://127.0.0.1:1\nb tcp://localhost:1\n", "fleet", resolved));
        QCOMPARE(parseFleetFile("a tcp://127.0.0.1:1\nb tcp://localhost:2\n", "fleet", resolved).size(),
                 std::size_t(2));
    }

    void refusesWithTheLine_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown endpoint")
            << QByteArray("a tcp://h:1\nb http://h:1\n") << "fleet:2: http://h:1: ";
        QTest::newRow("bad port") << QByteArray("a tcp://h:99999\n") << "fleet:1: tcp://h:99999: ";
        QTest::newRow("auto") << QByteArray("a auto\n") << "fleet:1: auto chooses";
        QTest::newRow("bad speed") << QByteArray("a /dev/ttyS0 115200\n")
                                   << "fleet:1: the speed is 9600 or 19200";
        QTest::newRow("name used twice") << QByteArray("a /dev/ttyS0\n# b\na /dev/ttyS1\n")
                                         << "fleet:3: a is named twice (first on line 1)";
        QTest::newRow("one endpoint twice")
            << QByteArray("a tcp://h:1\nb tcp://h:1\n") << "fleet:2: tcp://h:1 connects where line 1 does";
        QTest::newRow("one device twice")
            << QByteArray("a /dev/ttyS0\nb /dev/ttyS0\n") << "fleet:2: /dev/ttyS0 connects where line 1 does";
        QTest::newRow("scheme in capitals")
            << QByteArray("a tcp://h:1\nb TCP://h:1\n") << "fleet:2: TCP://h:1 connects where line 1 does";
        QTest::newRow("host in capitals")
            << QByteArray("a tcp://h:1\nb tcp://H:1\n") << "fleet:2: tcp://H:1 connects where line 1 does";
        QTest::newRow("port with a leading zero")
            << QByteArray("a tcp://h:1\nb tcp://h:01\n") << "fleet:2: tcp://h:01 connects where line 1 does";
        QTest::newRow("rfc2217 beside tcp")
            << QByteArray("a tcp://h:1\nb rfc2217://h:1\n") << "fleet:2: rfc2217://h:1 connects where line 1";
        QTest::newRow("unknown kind: only what a fleet takes")
            << QByteArray("a tpc://h:1\n")
            << "fleet:1: tpc://h:1: unknown kind of endpoint (give an absolute device path, tcp://HOST:PORT "
               "or "
               "rfc2217://HOST:PORT)";
        QTest::newRow("a name with a blank")
            << QByteArray("hall a tcp://h:1\n")
            << "fleet:1: 'hall a' has a blank: a name is letters, digits, '-', '_' and '.', and the endpoint "
               "follows it";
        QTest::newRow("a name with blanks, device and speed")
            << QByteArray("main hall a /dev/ttyS0 9600\n") << "fleet:1: 'main hall a' has a blank";
        QTest::newRow("host and port without a scheme")
            << QByteArray("hall-a 127.0.0.1:34907\n")
            << "fleet:1: 127.0.0.1:34907: a device path in a fleet file is absolute; did you mean "
               "tcp://127.0.0.1:34907?";
        QTest::newRow("relative device path")
            << QByteArray("hall-a ttyUSB0\n")
            << "fleet:1: ttyUSB0: a device path in a fleet file is absolute";
        // A CR kept would spoil the speed of line 1 and tell the two endpoints apart.
        QTest::newRow("one endpoint twice, CRLF") << QByteArray("a /dev/ttyS0 9600\r\nb /dev/ttyS0\r\n")
                                                  << "fleet:2: /dev/ttyS0 connects where line 1 does";
        QTest::newRow("bad name") << QByteArray("hall/a /dev/ttyS0\n") << "fleet:1: 'hall/a': a name is";
        QTest::newRow("control byte in a name")
            << QByteArray("a\x1b[2J /dev/ttyS0\n") << "fleet:1: 'a\\x1B[2J'";
        QTest::newRow("no endpoint") << QByteArray("\nhall-a\n") << "fleet:2: hall-a has no endpoint";
        QTest::newRow("a field too many") << QByteArray("a /dev/ttyS0 9600 x\n") << "fleet:1: more than";
        QTest::newRow("speed after a key")
            << QByteArray("a /dev/ttyS0 group=g 9600\n") << "fleet:1: more than NAME ENDPOINT SPEED: '9600'";
        QTest::newRow("unknown key")
            << QByteArray("a /dev/ttyS0 colour=red\n")
            << "fleet:1: 'colour=red': unknown field; a line takes group=, pjlink=, lend=";
        QTest::newRow("key in capitals")
            << QByteArray("a /dev/ttyS0 GROUP=g\n") << "fleet:1: 'GROUP=g': unknown";
        QTest::newRow("no key") << QByteArray("a /dev/ttyS0 =g\n") << "fleet:1: more than";
        QTest::newRow("repeated key")
            << QByteArray("a /dev/ttyS0 group=g group=g\n") << "fleet:1: group= is given twice";
        QTest::newRow("empty value") << QByteArray("a /dev/ttyS0 9600 group=\n")
                                     << "fleet:1: group= has no value";
        QTest::newRow("pjlink without a port")
            << QByteArray("a /dev/ttyS0 pjlink=10.0.0.1:\n") << "fleet:1: pjlink=10.0.0.1:: no port given";
        QTest::newRow("pjlink port too high")
            << QByteArray("a /dev/ttyS0 pjlink=70000\n") << "fleet:1: pjlink=70000: port must be 0 to 65535";
        QTest::newRow("bad group") << QByteArray("a /dev/ttyS0 group=hall/a\n")
                                   << "fleet:1: 'hall/a': a group is letters";
        QTest::newRow("long group") << "a /dev/ttyS0 group=" +
                                           QByteArray(int(FleetFile::NameLimitBytes) + 1, 'g')
                                    << "fleet:1: a group is at most 64 bytes";
        QTest::newRow("reserved: bridge")
            << QByteArray("bridge /dev/ttyS0\n")
            << "fleet:1: 'bridge' is a reserved name: it is the console's own availability on MQTT";
        QTest::newRow("reserved: group")
            << QByteArray("a /dev/ttyS0\ngroup /dev/ttyS1\n") << "fleet:2: 'group' is a reserved name";
        QTest::newRow("no projector at all") << QByteArray("# none yet\n\n") << "fleet:2: no projector";
        QTest::newRow("empty file") << QByteArray() << "fleet:1: no projector";
        QTest::newRow("a line past its limit")
            << "a /dev/ttyS0\n" + QByteArray(int(FleetFile::LineLimitBytes) + 1, '#')
            << "fleet:2: longer than";
        QTest::newRow("a file past its limit")
            << QByteArray(int(FleetFile::FileLimitBytes) + 1, '\n') << "fleet: longer than";
        QByteArray many;
        for (std::size_t i = 0; i <= FleetFile::ProjectorLimit; ++i)
            many += "p" + QByteArray::number(qulonglong(i)) +
                    " tcp://h:" + QByteArray::number(qulonglong(i + 1)) + "\n";
        QTest::newRow("too many projectors") << many << "fleet:4097: more than 4096 projectors";
    }
    void refusesWithTheLine()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        try {
            parseFleetFile(std::string_view(text.constData(), std::size_t(text.size())), "fleet");
            QFAIL("accepted");
        } catch (const FleetFileError &refused) {
            QVERIFY2(QString::fromStdString(refused.what()).startsWith(error), refused.what());
        }
    }
};

QTEST_GUILESS_MAIN(TestFleetFile)
#include "tst_fleetfile.moc"
