// The command-line mode sends status queries one after another to a simulated projector that answers at
// once, and measures how fast the pace that follows the replies goes.
#include "exchange/commandlinemode.h"
#include "qt/platform/qttimer.h"
#include "qt/port/qtserialport.h"
#include "qt/simulator/simulatedprojector.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace {
constexpr int Queries = 200;
constexpr auto Wait = std::chrono::milliseconds(2000);
// A 4-byte query and a 3-byte reply at 19200 baud, 10 bits a byte.
constexpr double LineTimeMs = 7 * 10 * 1000.0 / 19200;
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SimulatorOptions options;
    options.replyDelay = std::chrono::milliseconds(0);
    SimulatedProjector projector(options);
    QtSerialPort port(parseEndpoint(projector.slavePath()), parseEndpoint("/dev/tavo-no-com2"));

    std::vector<double> times;
    int answered = 0;
    int exitCode = -1;
    QEventLoop loop;
    QtTimer wait(Wait);
    CommandSource texts;
    for (int i = 0; i < Queries; ++i)
        texts.add("CR0");
    texts.end();
    ExchangeEngine engine(
        port, wait, [] { return std::chrono::steady_clock::now().time_since_epoch(); }, Wait);
    CommandLineMode mode(
        port, engine, texts, Settings19200,
        [&](const Exchange &exchange) {
            times.push_back(exchange.time.count());
            answered += exchange.answered ? 1 : 0;
            return true;
        },
        [&](ExitCode code, const std::string &error) {
            if (!error.empty())
                std::fprintf(stderr, "bench_sendrate: %s\n", error.c_str());
            exitCode = exitStatus(code);
            loop.quit();
        });
    const auto start = std::chrono::steady_clock::now();
    QTimer::singleShot(0, &app, [&mode] { mode.start(); });
    loop.exec();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (times.empty())
        return 1;
    std::sort(times.begin(), times.end());
    std::printf("%zu status queries in %.3f s: %.0f queries/s, %d answered, exit code %d\n", times.size(),
                seconds, double(times.size()) / seconds, answered, exitCode);
    std::printf("send to reply: median %.2f ms, worst %.2f ms (line time of query and reply at 19200 baud: "
                "%.2f ms)\n",
                times[times.size() / 2], times.back(), LineTimeMs);
    return 0;
}
