#include "qt/port/qtserialport.h"
#include "simulatorprocess.h"
#include "windowconsole.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {
constexpr int SettleMs = 10000;
constexpr auto HoldTime = 1000ms;
// Only the watch asks for the lamp hours; the window's buttons here never do.
const QByteArray WatchQuery = "RX C R 3 CR";

// A simulated projector telling each line it receives on stderr.
struct Simulator : SimulatorProcess
{
    QByteArray told;

    Simulator() : SimulatorProcess(QStringLiteral(TAVO_PROJECTOR_SIM)) {}
    qsizetype received(const QByteArray &trace)
    {
        told += process.readAllStandardError();
        return told.count(trace);
    }
};

// The real window, its COM1 the line the console lends.
struct LentWindow
{
    explicit LentWindow(quint16 port)
        : serial(parseEndpoint("tcp://127.0.0.1:" + std::to_string(port)), parseEndpoint("/dev/tavo-no-com2"))
    {
    }

    QtSerialPort serial;
    WindowConsole console{serial};
};

QByteArray refusal(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    QByteArray said;
    while (socket.waitForReadyRead(SettleMs))
        said += socket.readAll();
    return said;
}
} // namespace

// The real window through a line the real console lends, against the real simulator.
class TestLendFleet : public QObject
{
    Q_OBJECT

private slots:
    void theWindowHasTheLineAloneUntilItLeaves()
    {
        QTemporaryDir dir;
        Simulator simulator;
        AnnouncedConsole console(QStringLiteral(TAVO_CONSOLE), dir.filePath("fleet"),
                                 "hall-1 " + simulator.endpoint.toLatin1() + " lend=127.0.0.1:0\n", {},
                                 "lending hall-1's line on 127\\.0\\.0\\.1:(\\d+)");
        QVERIFY2(console.port != 0, console.err.constData());
        QVERIFY(QTest::qWaitFor([&] { return simulator.received(WatchQuery) > 0; }, SettleMs));

        auto window = std::make_unique<LentWindow>(console.port);
        QTRY_VERIFY(window->serial.PortOpen());
        window->console.click("Command44");
        QTRY_COMPARE(window->console.window.caption("Label22"), std::string(" Stand by"));
        window->console.holdArrow(HoldTime);
        QVERIFY(QTest::qWaitFor([&] { return simulator.received("RX C 3 0 CR") == 1; }, SettleMs));
        // Two of the watch's periods: what reached the line since the window pressed D.Zoom is the
        // arrow's commands, each whole, and nothing of the watch's.
        QTest::qWait(2000);
        simulator.received({});
        const QByteArray lent = simulator.told.mid(simulator.told.indexOf("RX C 3 0 CR"));
        const qsizetype arrows = lent.count("RX C 3 A CR");
        QVERIFY2(arrows >= 10 && lent.count("RX ") == arrows + 1, lent.constData());
        QVERIFY(window->console.messages.errors.empty());

        const QByteArray said = refusal(console.port);
        QVERIFY2(said.startsWith("lent to 127.0.0.1:") && said.contains(" since ") && said.endsWith("\r\n"),
                 said.constData());

        const qsizetype watchAsked = simulator.received(WatchQuery);
        window.reset();
        QVERIFY(QTest::qWaitFor([&] { return simulator.received(WatchQuery) > watchAsked; }, SettleMs));
    }
};

QTEST_MAIN(TestLendFleet)
#include "tst_lendfleet.moc"
