#include "link/endpoint.h"

#include <stdexcept>

#include <QTest>

Q_DECLARE_METATYPE(Endpoint::Kind)

// What an operator may name as COM1 or COM2, and the one line a wrong name is answered with.
class TestEndpoint : public QObject
{
    Q_OBJECT

private slots:
    void readsAnEndpoint_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Endpoint::Kind>("kind");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        using K = Endpoint::Kind;
        QTest::newRow("auto") << "auto" << K::Auto << ""
                              << "" << 0;
        QTest::newRow("device") << "/dev/ttyUSB0" << K::Device << "/dev/ttyUSB0"
                                << "" << 0;
        QTest::newRow("by-id") << "/dev/serial/by-id/usb-FTDI_FT232R_A10K1-if00-port0" << K::Device
                               << "/dev/serial/by-id/usb-FTDI_FT232R_A10K1-if00-port0"
                               << "" << 0;
        QTest::newRow("device with colon") << "/tmp/a:b" << K::Device << "/tmp/a:b"
                                           << "" << 0;
        QTest::newRow("tcp") << "tcp://127.0.0.1:4001" << K::Tcp << ""
                             << "127.0.0.1" << 4001;
        QTest::newRow("TCP upper case") << "TCP://h:65535" << K::Tcp << ""
                                        << "h" << 65535;
        QTest::newRow("rfc2217") << "rfc2217://10.0.0.5:2217" << K::Rfc2217 << ""
                                 << "10.0.0.5" << 2217;
        QTest::newRow("ipv6") << "rfc2217://[::1]:7000" << K::Rfc2217 << ""
                              << "::1" << 7000;
    }
    void readsAnEndpoint()
    {
        QFETCH(QString, text);
        QFETCH(Endpoint::Kind, kind);
        QFETCH(QString, device);
        QFETCH(QString, host);
        QFETCH(int, port);
        const Endpoint endpoint = parseEndpoint(text.toStdString());
        QCOMPARE(endpoint.kind, kind);
        QCOMPARE(QString::fromStdString(endpoint.device), device);
        QCOMPARE(QString::fromStdString(endpoint.host), host);
        QCOMPARE(int(endpoint.port), port);
        QCOMPARE(QString::fromStdString(endpoint.text), text);
    }

    void refusesAWrongEndpointInOneLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << "an empty endpoint: give a device path, auto, tcp://HOST:PORT or "
                                  "rfc2217://HOST:PORT";
        QTest::newRow("no port") << "tcp://host"
                                 << "tcp://host: no port given";
        QTest::newRow("no host") << "tcp://:4001"
                                 << "tcp://:4001: no host given";
        QTest::newRow("port too big") << "rfc2217://h:99999"
                                      << "rfc2217://h:99999: port must be 1 to 65535";
        QTest::newRow("port zero") << "tcp://h:0"
                                   << "tcp://h:0: port must be 1 to 65535";
        QTest::newRow("port not a number") << "tcp://h:telnet"
                                           << "tcp://h:telnet: port must be 1 to 65535";
        QTest::newRow("bare ipv6") << "tcp://::1:4001"
                                   << "tcp://::1:4001: write an IPv6 address in brackets, as [::1]:4001";
        QTest::newRow("unclosed bracket") << "tcp://[::1:4001"
                                          << "tcp://[::1:4001: the host's closing ] is missing";
        QTest::newRow("unknown scheme")
            << "telnet://h:23"
            << "telnet://h:23: unknown kind of endpoint (give a device path, auto, "
               "tcp://HOST:PORT or rfc2217://HOST:PORT)";
        QTest::newRow("control characters shown, the message one line")
            << QString::fromLatin1("tcp://h\n\x7f:", 10) + QChar(0) + "1"
            << "tcp://h\\x0A\\x7F:\\x001: port must be 1 to 65535";
    }
    void refusesAWrongEndpointInOneLine()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        try {
            parseEndpoint(text.toStdString());
            QFAIL("took a wrong endpoint");
        } catch (const std::invalid_argument &error) {
            QCOMPARE(QString::fromStdString(error.what()), message);
        }
    }
};

QTEST_GUILESS_MAIN(TestEndpoint)
#include "tst_endpoint.moc"
