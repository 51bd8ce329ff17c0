#pragma once

#include "fakemessagebox.h"
#include "qt/platform/qttimer.h"
#include "qt/window/consolewindow.h"
#include "window/controltable.h"
#include "window/form1.h"

#include <chrono>

#include <QPushButton>
#include <QTest>
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
    void click(const char *name) const { QTest::mouseClick(find(name), Qt::LeftButton); }
    // Holds the arrow at its fastest pace, as a D.Zoom release leaves it.
    void holdArrow(std::chrono::milliseconds span) const
    {
        click("Command48");
        auto *arrow = find<QPushButton>("Command8");
        QTest::mousePress(arrow, Qt::LeftButton);
        QTest::qWait(int(span.count()));
        QTest::mouseRelease(arrow, Qt::LeftButton);
    }

    QtTimer timer1{Timer1Interval};
    QtTimer timer2{Timer2Interval};
    QtTimer timer3{Timer3Interval};
    QtTimer timer4{Timer4Interval};
    FakeMessageBox messages;
    ConsoleWindow window;
    Form1 form;
};
