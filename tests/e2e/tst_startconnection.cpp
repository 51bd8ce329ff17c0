#include "link/trafficlog.h"
#include "pty.h"
#include "qt/links/logfile.h"
#include "qt/port/qtserialport.h"
#include "qt/simulator/projectorserver.h"
#include "ser2net.h"
#include "windowconsole.h"

#include <fstream>
#include <memory>

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
enum class Server { Ser2netRfc2217, Ser2netTcp, Simulator };

int linesWith(const std::string &path, const std::string &word)
{
    std::ifstream file(path);
    int count = 0;
    for (std::string line; std::getline(file, line);)
        count += line.find(' ' + word + ' ') != std::string::npos ? 1 : 0;
    return count;
}
} // namespace

Q_DECLARE_METATYPE(Server)

// The real window starting up against a server that serves one client at a time and refuses a second.
class TestStartConnection : public QObject
{
    Q_OBJECT

private slots:
    void startUpConnectsOnce_data()
    {
        QTest::addColumn<Server>("server");
        QTest::newRow("ser2net, RFC 2217, no kickolduser") << Server::Ser2netRfc2217;
        QTest::newRow("ser2net, raw TCP, no kickolduser") << Server::Ser2netTcp;
        QTest::newRow("the simulator's listener") << Server::Simulator;
    }
    void startUpConnectsOnce()
    {
        QFETCH(Server, server);
        Pty pty;
        std::unique_ptr<Ser2net> ser2net;
        ProjectorServer simulator;
        std::string com1;
        if (server == Server::Simulator) {
            QVERIFY(simulator.listen(QHostAddress::LocalHost, 0));
            com1 = simulator.endpoint().toStdString();
        } else {
            SKIP_WITHOUT_SER2NET();
            ser2net = std::make_unique<Ser2net>(pty.slavePath(), false);
            QVERIFY2(ser2net->start(), qPrintable(ser2net->output()));
            com1 = server == Server::Ser2netRfc2217
                       ? "rfc2217://127.0.0.1:" + std::to_string(ser2net->rfc2217Port())
                       : "tcp://127.0.0.1:" + std::to_string(ser2net->tcpPort());
        }
        QTemporaryDir dir;
        const std::string logPath = dir.filePath(QStringLiteral("traffic.log")).toStdString();
        TrafficLog log(openLogFile(logPath), logPath);
        QtSerialPort serial(parseEndpoint(com1), parseEndpoint("/dev/tavo-no-com2"));
        serial.setTrafficLog(&log);
        WindowConsole console(serial);

        QTest::mouseClick(console.find("Command44"), Qt::LeftButton);
        if (ser2net) {
            QCOMPARE(pty.read(4), std::string("CR0\r"));
            pty.write("80\r");
        }
        QTRY_COMPARE(console.window.caption("Label22"), std::string(" Stand by"));
        QVERIFY(console.messages.errors.empty() && console.messages.warnings.empty());
        // Written out, so the file holds every line so far.
        QCOMPARE(log.close(), std::size_t(0));
        QCOMPARE(linesWith(logPath, "OPEN"), 1);
        QCOMPARE(linesWith(logPath, "CLOSE"), 0);
    }
};

QTEST_MAIN(TestStartConnection)
#include "tst_startconnection.moc"
