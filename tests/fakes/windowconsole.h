#pragma once

#include "console/form1.h"
#include "fakemessagebox.h"
#include "qt/consolewindow.h"
#include "qt/qttimer.h"

#include <chrono>

#include <QWidget>

// The real window and its real timers over a given port, started up and shown. Its messages go to a
// fake box unless a real one is given.
struct WindowConsole
{
    explicit WindowConsole(SerialPort &port, MessageBox *shownMessages = nullptr)
        : form(Platform{port, timer1, timer2, timer3, timer4, window,
                        shownMessages ? *shownMessages : messages})
    {
        window.attach(form);
        form.Form_Load();
        window.show();
    }

    template <class Widget = QWidget> Widget *find(const char *name) const
    {
        auto *widget = window.findChild<Widget *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }

    QtTimer timer1{std::chrono::milliseconds(200)};
    QtTimer timer2{std::chrono::milliseconds(500)};
    QtTimer timer3{std::chrono::milliseconds(5000)};
    QtTimer timer4{std::chrono::milliseconds(1000)};
    FakeMessageBox messages;
    ConsoleWindow window;
    Form1 form;
};
