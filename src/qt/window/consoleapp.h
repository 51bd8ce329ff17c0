#pragma once

#include "qt/platform/qttimer.h"
#include "qt/port/portendpoints.h"
#include "qt/port/qtserialport.h"
#include "qt/window/consolewindow.h"
#include "qt/window/qtmessagebox.h"
#include "window/form1.h"

// The console put together: the Qt window, timers, message box and serial port under one Form1.
class ConsoleApp
{
public:
    // The traffic log, when given, records every link the port opens; its failure is told in a
    // message box while the console lives.
    explicit ConsoleApp(const PortsAsked &ports, TrafficLog *log = nullptr);
    ~ConsoleApp();
    ConsoleApp(const ConsoleApp &) = delete;
    ConsoleApp &operator=(const ConsoleApp &) = delete;

    // Start-up, then the window is shown once COM1 is open; false when start-up failed and the operator
    // was told why. A server that does not answer is told later, and ends the event loop with 1.
    bool start();
    ConsoleWindow &window() { return m_window; }
    // The simulated projectors on COM1 and COM2, or none when the console drives real devices.
    const std::vector<std::unique_ptr<SimulatedProjector>> &simulators() const
    {
        return m_endpoints.simulators();
    }

    // Added to the message of a start-up that failed: where to go from there.
    static constexpr const char *StartupHint =
        "Find the adapter with tavo-console --list-ports; try the console without a projector with "
        "tavo-console --simulate, or the menu's \"Start with Simulated Projectors\".";

private:
    void started(const SerialError *failure);
    // The port's state in the tooltips of "COM" and of the port options, written anew at every change.
    void showPortState();
    QString portState(int port) const;

    // Before the port, which opens their devices.
    PortEndpoints m_endpoints;
    QtSerialPort m_port;
    QtTimer m_timer1;
    QtTimer m_timer2;
    QtTimer m_timer3;
    QtTimer m_timer4;
    ConsoleWindow m_window;
    QtMessageBox m_messages;
    Form1 m_form;
    TrafficLog *m_log;
    bool m_startFailed = false;
    bool m_startReturned = false;
};

// Runs the window to its end and returns the exit code.
int runWindow(int argc, char *argv[], const PortsAsked &ports, TrafficLog *log);
