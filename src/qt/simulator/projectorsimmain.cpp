#include "program.h"
#include "qt/simulator/projectorserver.h"
#include "qt/simulator/simulatedprojector.h"
#include "simulator/simulatoroptions.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>

namespace {
constexpr int FailureExitCode = 1;

void logToStderr(const std::string &line)
{
    std::fprintf(stderr, "%s\n", line.c_str());
}

QHostAddress hostAddress(const std::string &host)
{
    return host == "localhost" ? QHostAddress(QHostAddress::LocalHost)
                               : QHostAddress(QString::fromStdString(host));
}

// Prints what a console opens to reach the projector, at once, for whoever started us and waits for it.
void announce(const QString &endpoint)
{
    std::printf("%s\n", qPrintable(endpoint));
    std::fflush(stdout);
}
} // namespace

int main(int argc, char *argv[])
{
    const SimulatorCommandLine commandLine = parseSimulatorCommandLine(
        std::vector<std::string>(argv + 1, argv + argc), "tavo-projector-sim " + std::string(ProgramVersion));
    if (!commandLine.run) {
        if (!commandLine.error.empty())
            std::fprintf(stderr, "%s\n", commandLine.error.c_str());
        std::fputs(commandLine.output.c_str(), stdout);
        return commandLine.exitCode;
    }
    QCoreApplication app(argc, argv);
    try {
        std::unique_ptr<QObject> projector;
        if (const auto &listen = commandLine.listen) {
            const QHostAddress address = hostAddress(listen->host);
            if (address.isNull()) {
                logToStderr(simulatorUsageError("'" + listen->host + "' for '--listen' is no IP address"));
                return UsageExitCode;
            }
            auto server = std::make_unique<ProjectorServer>(commandLine.options);
            if (commandLine.verbose)
                server->session().setLog(logToStderr);
            if (!server->listen(address, listen->port)) {
                std::fprintf(stderr, "tavo-projector-sim: cannot listen on %s:%u: %s\n", listen->host.c_str(),
                             unsigned(listen->port), qPrintable(server->errorText()));
                return FailureExitCode;
            }
            announce(server->endpoint());
            projector = std::move(server);
        } else {
            auto pty = std::make_unique<SimulatedProjector>(commandLine.options);
            if (commandLine.verbose)
                pty->session().setLog(logToStderr);
            announce(QString::fromStdString(pty->slavePath()));
            projector = std::move(pty);
        }
        return QCoreApplication::exec();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tavo-projector-sim: %s\n", error.what());
        return FailureExitCode;
    }
}
