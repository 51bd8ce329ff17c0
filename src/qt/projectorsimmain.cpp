#include "qt/simulatedprojector.h"
#include "simulator/simulatoroptions.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    const SimulatorCommandLine commandLine =
        parseSimulatorCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!commandLine.run) {
        if (!commandLine.error.empty())
            std::fprintf(stderr, "%s\n", commandLine.error.c_str());
        std::fputs(commandLine.output.c_str(), stdout);
        return commandLine.exitCode;
    }
    QCoreApplication app(argc, argv);
    try {
        SimulatedProjector projector(commandLine.options);
        std::printf("%s\n", projector.slavePath().c_str());
        std::fflush(stdout);
        return QCoreApplication::exec();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tavo-projector-sim: %s\n", error.what());
        return 1;
    }
}
