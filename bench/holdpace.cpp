// Holds buttons of the real console against a pseudo-terminal and measures what reaches the line.
#include "benchline.h"
#include "links/trafficlog.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <unistd.h>
#include <vector>

#include <QApplication>

using Clock = std::chrono::steady_clock;

namespace {
// Holds a button for the span and reports the spacing and the integrity of what reached the line.
void hold(WindowConsole &console, CountingPort &port, LineWatcher &line, const char *control,
          const char *code, std::chrono::milliseconds span, double nominalMs)
{
    QWidget *button = console.window.control(control);
    runFor(std::chrono::milliseconds(300));
    line.clear();
    port.sends = 0;
    // The rate is taken over the time really held: the event loop may run past the span.
    const Clock::time_point pressedAt = Clock::now();
    mouse(button, QEvent::MouseButtonPress);
    runFor(span);
    mouse(button, QEvent::MouseButtonRelease);
    const double seconds = std::chrono::duration<double>(Clock::now() - pressedAt).count();
    runFor(std::chrono::milliseconds(200));
    double worst = 0;
    for (std::size_t i = 1; i < line.arrivals.size(); ++i)
        worst = std::max(
            worst,
            std::chrono::duration<double, std::milli>(line.arrivals[i] - line.arrivals[i - 1]).count());
    const double mean =
        line.arrivals.size() > 1
            ? std::chrono::duration<double, std::milli>(line.arrivals.back() - line.arrivals.front())
                      .count() /
                  double(line.arrivals.size() - 1)
            : 0;
    const auto whole = std::count(line.commands.begin(), line.commands.end(), std::string(code));
    std::printf("%-10s nominal %6.1f ms: %5zu on the line in %.2f s (%6.1f/s), mean %7.2f ms (%+5.1f%%), "
                "worst %7.2f ms,"
                " sends %d, lost %lld, merged or cut %lld\n",
                control, nominalMs, line.commands.size(), seconds, double(line.commands.size()) / seconds,
                mean, 100 * (mean - nominalMs) / nominalMs, worst, port.sends,
                static_cast<long long>(port.sends) - static_cast<long long>(line.commands.size()),
                static_cast<long long>(line.commands.size()) - static_cast<long long>(whole));
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    PtyConsole bench;
    Pty &pty = bench.pty;
    CountingPort &port = bench.port;
    WindowConsole &console = bench.console;
    LineWatcher line(pty);
    // bench_holdpace FILE: the same holds with the traffic log written to FILE.
    std::optional<TrafficLog> log;
    if (argc > 1) {
        log.emplace(argv[1]);
        bench.serial.setTrafficLog(&*log);
        // Opened again, so the link the port holds now is the logged one.
        bench.serial.setPortOpen(false);
        bench.serial.setPortOpen(true);
        std::printf("traffic log: %s\n", argv[1]);
    }

    hold(console, port, line, "Command1", "C09", std::chrono::seconds(5), 250);
    // A D.Zoom release sets the fastest arrow pace.
    mouse(console.window.control("Command48"), QEvent::MouseButtonPress);
    mouse(console.window.control("Command48"), QEvent::MouseButtonRelease);
    hold(console, port, line, "Command8", "C3A", std::chrono::seconds(2), 5);
    return 0;
}
