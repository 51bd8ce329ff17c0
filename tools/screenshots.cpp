// Renders the console window offscreen at its compact, data-panel and full heights, as PNG files.
#include "console/form1.h"
#include "fakemessagebox.h"
#include "fakeserialport.h"
#include "qt/consolewindow.h"
#include "qt/qttimer.h"

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QPixmap>

using namespace std::chrono_literals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots"));
    QtTimer timer1(200ms), timer2(500ms), timer3(5000ms), timer4(1000ms);
    FakeSerialPort port;
    FakeMessageBox messages;
    ConsoleWindow window;
    Form1 form(Platform{port, timer1, timer2, timer3, timer4, window, messages});
    window.attach(form);
    form.Form_Load();
    window.show();

    auto save = [&](const char *name) {
        QApplication::processEvents();
        const QString path = out.filePath(QString::fromLatin1(name));
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
        std::printf("%s\n", qPrintable(path));
    };
    save("compact.png");
    form.keyDown('J', 2);
    form.click("Command34");
    form.click("Command34");
    form.click("Command44");
    port.deliver("00\r");
    save("data-panel.png");
    form.keyDown('J', 2);
    form.doubleClick("Image1");
    form.click("Command46");
    port.deliver("01234\r");
    save("full.png");
    return 0;
}
