#include "qt/commandline.h"
#include "qt/consoleapp.h"

#include <cstdio>

#include <QApplication>

int main(int argc, char *argv[])
{
    CommandLine commandLine;
    {
        // Read before the window system is needed, so --help and a bad option work without a display.
        QCoreApplication probe(argc, argv);
        commandLine = parseCommandLine(probe.arguments());
    }
    if (!commandLine.run) {
        if (!commandLine.error.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(commandLine.error));
        std::fputs(qPrintable(commandLine.output), stdout);
        return commandLine.exitCode;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavo-console"));
    QApplication::setApplicationVersion(QStringLiteral("1.40"));
    ConsoleApp console(commandLine.options);
    if (!console.start())
        return 1;
    return QApplication::exec();
}
