// A long session: holds at the fastest pace with the projector answering, then idle, over and over.
// Reports resident memory at the start and the end and whether every send reached the line.
// Usage: bench_soak [minutes]
#include "benchline.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <QApplication>

namespace {
long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 10;
    PtyConsole bench;
    Pty &pty = bench.pty;
    CountingPort &port = bench.port;
    WindowConsole &console = bench.console;
    LineWatcher line(pty);
    // Every command the projector sees is answered with ACK and CR.
    QObject::connect(&line.notifier, &QSocketNotifier::activated, [&] {
        while (line.answered < line.commands.size()) {
            pty.write("\x06\r");
            ++line.answered;
        }
    });
    mouse(console.window.control("Command48"), QEvent::MouseButtonPress);
    mouse(console.window.control("Command48"), QEvent::MouseButtonRelease);
    runFor(std::chrono::seconds(1));

    // The watcher is emptied after every round so that only the console's own memory can grow.
    std::size_t onTheLine = 0;
    auto tally = [&] {
        onTheLine += line.commands.size();
        line.clear();
        line.answered = 0;
    };
    const long startKiB = residentKiB();
    const auto start = Clock::now();
    int rounds = 0;
    while (Clock::now() < start + std::chrono::minutes(minutes)) {
        mouse(console.window.control("Command8"), QEvent::MouseButtonPress);
        runFor(std::chrono::seconds(5));
        mouse(console.window.control("Command8"), QEvent::MouseButtonRelease);
        runFor(std::chrono::seconds(5));
        tally();
        if (++rounds % 6 == 0)
            std::fprintf(stderr, "minute %d: resident %ld KiB\n", rounds / 6, residentKiB());
    }
    runFor(std::chrono::milliseconds(500));
    tally();
    std::printf(
        "soak %d min, %d rounds: resident %ld KiB at the start, %ld KiB at the end; sends %d, on the line "
        "%zu\n",
        minutes, rounds, startKiB, residentKiB(), port.sends, onTheLine);
    return onTheLine == std::size_t(port.sends) ? 0 : 1;
}
