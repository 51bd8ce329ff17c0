// Holds buttons of the real console against a pseudo-terminal and measures what reaches the line.
#include "benchline.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    PtyConsole bench;
    Pty &pty = bench.pty;
    CountingPort &port = bench.port;
    WindowConsole &console = bench.console;
    LineWatcher line(pty);

    hold(console, port, line, "Command1", "C09", std::chrono::seconds(5), 250);
    // A D.Zoom release sets the fastest arrow pace.
    mouse(console.window.control("Command48"), QEvent::MouseButtonPress);
    mouse(console.window.control("Command48"), QEvent::MouseButtonRelease);
    hold(console, port, line, "Command8", "C3A", std::chrono::seconds(2), 5);
    return 0;
}
