#pragma once

#include "console/form1.h"
#include "qt/commandline.h"
#include "qt/consolewindow.h"
#include "qt/qtmessagebox.h"
#include "qt/qtserialport.h"
#include "qt/qttimer.h"

// The console put together: the Qt window, timers, message box and serial port under one Form1.
class ConsoleApp
{
public:
    explicit ConsoleApp(const ConsoleOptions &options);

    // Start-up, then the window is shown; false when start-up failed and the operator was told why.
    bool start();
    ConsoleWindow &window() { return m_window; }

private:
    QtSerialPort m_port;
    QtTimer m_timer1;
    QtTimer m_timer2;
    QtTimer m_timer3;
    QtTimer m_timer4;
    ConsoleWindow m_window;
    QtMessageBox m_messages;
    Form1 m_form;
};
