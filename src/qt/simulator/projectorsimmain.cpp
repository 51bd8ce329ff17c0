#include "program.h"
#include "qt/simulator/projectorserver.h"
#include "qt/simulator/simulatedprojector.h"
#include "simulator/simulatoroptions.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

#include <QCoreApplication>
#include <QStringList>

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

// Each projector takes a listening socket and a client's; the soft limit is raised as far as the hard one
// allows when the default would not do.
constexpr rlim_t FilesPerProjector = 2;
constexpr rlim_t FilesBesideProjectors = 64;

bool allowOpenFiles(int projectors)
{
    const rlim_t needed = FilesPerProjector * rlim_t(projectors) + FilesBesideProjectors;
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    if (limit.rlim_cur >= needed)
        return true;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < needed)
        return false;
    limit.rlim_cur = needed;
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
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
        std::vector<std::unique_ptr<QObject>> projectors;
        if (const auto &listen = commandLine.listen) {
            const QHostAddress address = hostAddress(listen->host);
            if (address.isNull()) {
                logToStderr(simulatorUsageError("'" + listen->host + "' for '--listen' is no IP address"));
                return UsageExitCode;
            }
            if (!allowOpenFiles(commandLine.count)) {
                logToStderr("tavo-projector-sim: the process may not open files enough for " +
                            std::to_string(commandLine.count) + " projectors (see ulimit -n)");
                return FailureExitCode;
            }
            QStringList endpoints;
            for (int i = 0; i < commandLine.count; ++i) {
                auto server = std::make_unique<ProjectorServer>(commandLine.options);
                // A free port for each when none is named; else the named one and those after it.
                const quint16 port = listen->port == 0 ? 0 : quint16(listen->port + i);
                if (!server->listen(address, port)) {
                    std::fprintf(stderr, "tavo-projector-sim: cannot listen on %s:%u: %s\n",
                                 listen->host.c_str(), unsigned(port), qPrintable(server->errorText()));
                    return FailureExitCode;
                }
                if (commandLine.verbose) {
                    const std::string prefix =
                        commandLine.count == 1 ? std::string() : server->endpoint().toStdString() + " ";
                    server->session().setLog(
                        [prefix](const std::string &line) { logToStderr(prefix + line); });
                }
                endpoints.append(server->endpoint());
                projectors.push_back(std::move(server));
            }
            announce(endpoints.join(QLatin1Char('\n')));
        } else {
            auto pty = std::make_unique<SimulatedProjector>(commandLine.options);
            if (commandLine.verbose)
                pty->session().setLog(logToStderr);
            announce(QString::fromStdString(pty->slavePath()));
            projectors.push_back(std::move(pty));
        }
        return QCoreApplication::exec();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tavo-projector-sim: %s\n", error.what());
        return FailureExitCode;
    }
}
