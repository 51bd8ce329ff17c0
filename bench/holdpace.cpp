// Holds buttons of the real console against a pseudo-terminal and measures what reaches the line.
#include "benchline.h"
#include "link/trafficlog.h"
#include "qt/links/logfile.h"

#include <cstdio>
#include <memory>

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Before the console, whose port writes its CLOSE line as it goes.
    std::unique_ptr<TrafficLog> log;
    PtyConsole bench;
    Pty &pty = bench.pty;
    CountingPort &port = bench.port;
    WindowConsole &console = bench.console;
    LineWatcher line(pty);
    // bench_holdpace FILE: the same holds with the traffic log written to FILE.
    if (argc > 1) {
        log = std::make_unique<TrafficLog>(openLogFile(argv[1]), argv[1]);
        bench.serial.setTrafficLog(log.get());
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
