// A projector (or noise) filling the line at 19200 baud's full rate against the real window: CPU use,
// the worst arrival, and how late the event loop gets. Usage: bench_flood [seconds]
#include "benchline.h"

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

#include <QApplication>

namespace {
constexpr int BytesPerSecond = 1920; // 19200 baud, 10 bits a character
constexpr std::chrono::milliseconds WritePeriod{10};
constexpr std::chrono::milliseconds ProbePeriod{10};

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    PtyConsole bench;
    Pty &pty = bench.pty;
    CountingPort &port = bench.port;
    WindowConsole &console = bench.console;
    console.form.click("Command44");

    QTimer writer;
    writer.setTimerType(Qt::PreciseTimer);
    int chunk = 0;
    QObject::connect(&writer, &QTimer::timeout, [&] {
        pty.write(std::string(BytesPerSecond * WritePeriod.count() / 1000, char('0' + chunk++ % 10)));
    });
    std::vector<double> lateness;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    auto expected = Clock::now() + ProbePeriod;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        lateness.push_back(std::max(0.0, std::chrono::duration<double, std::milli>(now - expected).count()));
        expected = now + ProbePeriod;
    });

    const double cpuStart = cpuSeconds();
    const auto wallStart = Clock::now();
    writer.start(WritePeriod);
    probe.start(ProbePeriod);
    runFor(std::chrono::seconds(seconds));
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    const double cpu = cpuSeconds() - cpuStart;

    std::sort(lateness.begin(), lateness.end());
    auto at = [&](double share) {
        return lateness.empty() ? 0 : lateness[std::size_t(share * (lateness.size() - 1))];
    };
    std::printf("flood %d s at %d bytes/s: CPU %.1f%% of one core, worst arrival %.2f ms, event-loop latency "
                "p50 %.2f ms, p99 %.2f ms, worst %.2f ms\n",
                seconds, BytesPerSecond, 100 * cpu / wall, port.worstArrivalMs, at(0.5), at(0.99),
                lateness.empty() ? 0 : lateness.back());
    return 0;
}
