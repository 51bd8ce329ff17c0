// Times the opening of each kind of endpoint and the pace of a held arrow over RFC 2217 through ser2net.
#include "benchline.h"
#include "qt/links/makelink.h"
#include "qt/links/rfc2217link.h"
#include "ser2net.h"

#include <QApplication>

namespace {
constexpr int Opens = 20;
// ser2net turns away a client that comes while it still ends the session before.
constexpr std::chrono::milliseconds BetweenOpens{100};
const LineSettings Line19200{19200, 'N', 8, 1};

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Until the link is open, and how long the call to open() itself held the event loop.
void timeOpens(const std::string &endpoint)
{
    double total = 0;
    double worst = 0;
    double held = 0;
    for (int i = 0; i < Opens; ++i) {
        const std::unique_ptr<ByteLink> link = makeLink(parseEndpoint(endpoint));
        const Clock::time_point start = Clock::now();
        link->open(Line19200);
        held = std::max(held, msSince(start));
        while (link->connecting())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        const double ms = msSince(start);
        total += ms;
        worst = std::max(worst, ms);
        link->close();
        runFor(BetweenOpens);
    }
    std::printf(
        "open %-28s mean %6.2f ms, worst %6.2f ms, the call held the loop at most %5.2f ms (%d opens)\n",
        endpoint.c_str(), total / Opens, worst, held, Opens);
}

// From the open until the server says it runs at the console's speed.
void timeSpeedAcknowledged(std::uint16_t port)
{
    Rfc2217Link link("127.0.0.1", port);
    const Clock::time_point start = Clock::now();
    link.open(Line19200);
    while (link.acknowledgedBaud() != Line19200.baud && Clock::now() - start < std::chrono::seconds(3))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    std::printf("rfc2217 speed acknowledged %.2f ms after the open began\n", msSince(start));
    link.close();
    runFor(BetweenOpens);
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (Ser2net::program().isEmpty()) {
        std::printf("ser2net is not installed\n");
        return 0;
    }
    Pty device;
    Pty served;
    Ser2net server(served.slavePath());
    if (!server.start()) {
        std::printf("ser2net would not start: %s\n", qPrintable(server.output()));
        return 1;
    }
    const std::string tcp = "tcp://127.0.0.1:" + std::to_string(server.tcpPort());
    const std::string rfc2217 = "rfc2217://127.0.0.1:" + std::to_string(server.rfc2217Port());
    timeOpens(device.slavePath());
    timeOpens(tcp);
    timeOpens(rfc2217);
    timeSpeedAcknowledged(server.rfc2217Port());

    QtSerialPort serial(parseEndpoint(rfc2217), parseEndpoint("/dev/tavo-no-com2"));
    CountingPort port(serial);
    WindowConsole console(port);
    LineWatcher line(served);
    std::printf("held over %s through ser2net:\n", rfc2217.c_str());
    hold(console, port, line, "Command1", "C09", std::chrono::seconds(3), 250);
    // A D.Zoom release sets the fastest arrow pace.
    mouse(console.window.control("Command48"), QEvent::MouseButtonPress);
    mouse(console.window.control("Command48"), QEvent::MouseButtonRelease);
    hold(console, port, line, "Command8", "C3A", std::chrono::seconds(5), 5);
    std::printf("messages shown: %zu\n", console.messages.errors.size());
    return 0;
}
