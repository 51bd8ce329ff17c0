// Renders the console window offscreen at its compact, data-panel and full heights, as PNG files.
#include "fakeserialport.h"
#include "windowconsole.h"

#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QPixmap>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots"));
    FakeSerialPort port;
    WindowConsole console(port);
    ConsoleWindow &window = console.window;
    Form1 &form = console.form;

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
