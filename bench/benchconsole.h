#pragma once

#include "console/form1.h"
#include "fakemessagebox.h"
#include "qt/consolewindow.h"
#include "qt/qttimer.h"

#include <chrono>

// The real window and timers over a given port, started up and shown offscreen.
struct BenchConsole
{
    explicit BenchConsole(SerialPort &port)
        : form(Platform{port, timer1, timer2, timer3, timer4, window, messages})
    {
        window.attach(form);
        form.Form_Load();
        window.show();
    }

    QtTimer timer1{std::chrono::milliseconds(200)};
    QtTimer timer2{std::chrono::milliseconds(500)};
    QtTimer timer3{std::chrono::milliseconds(5000)};
    QtTimer timer4{std::chrono::milliseconds(1000)};
    FakeMessageBox messages;
    ConsoleWindow window;
    Form1 form;
};
