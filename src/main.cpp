#include "qt/commandline.h"
#include "qt/consoleapp.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

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
    QApplication::setApplicationVersion(ConsoleVersion);
    std::unique_ptr<ConsoleApp> consoleApp;
    try {
        consoleApp = std::make_unique<ConsoleApp>(commandLine.options);
    } catch (const std::runtime_error &error) {
        std::fprintf(stderr, "tavo-console: %s\n", error.what());
        return 1;
    }
    ConsoleApp &console = *consoleApp;
    if (!console.simulators().empty())
        std::fprintf(stderr, "tavo-console: simulated projectors: COM1 on %s, COM2 on %s\n",
                     console.simulators()[0]->slavePath().c_str(),
                     console.simulators()[1]->slavePath().c_str());
    if (!console.start())
        return 1;
    return QApplication::exec();
}
