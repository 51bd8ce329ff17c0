#include "consoleprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

extern char **environ;

namespace {
constexpr int ExitPollMs = 10;
constexpr const char *DisplayVariables[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY",
                                            "XDG_SESSION_TYPE"};
} // namespace

Outcome runConsole(const QString &program, const QStringList &arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : DisplayVariables)
        environment.remove(QString::fromLatin1(name));
    QProcess console;
    console.setProcessEnvironment(environment);
    QSignalSpy finished(&console, &QProcess::finished);
    console.start(program, arguments);
    if (!finished.wait(RunLimitMs))
        qFatal("tavo-console %s did not end", qPrintable(arguments.join(' ')));
    Outcome outcome;
    outcome.exitCode = console.exitStatus() == QProcess::NormalExit ? console.exitCode() : -1;
    outcome.out = console.readAllStandardOutput();
    outcome.err = console.readAllStandardError();
    return outcome;
}

int spawnConsole(const QString &program, const std::vector<std::string> &arguments,
                 const Redirections &redirections)
{
    std::vector<std::string> all{program.toStdString()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    constexpr int Flags = O_WRONLY | O_CREAT | O_TRUNC;
    constexpr mode_t Mode = 0600;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!redirections.outputFile.isEmpty())
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO,
                                         QFile::encodeName(redirections.outputFile).constData(), Flags, Mode);
    else if (redirections.outputDescriptor >= 0)
        posix_spawn_file_actions_adddup2(&actions, redirections.outputDescriptor, STDOUT_FILENO);
    if (!redirections.errorFile.isEmpty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO,
                                         QFile::encodeName(redirections.errorFile).constData(), Flags, Mode);
    if (redirections.inputClosed)
        posix_spawn_file_actions_addclose(&actions, STDIN_FILENO);
    else if (redirections.inputDescriptor >= 0)
        posix_spawn_file_actions_adddup2(&actions, redirections.inputDescriptor, STDIN_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        qFatal("tavo-console could not be started");
    return pid;
}

int waitForConsole(int pid, int *signal)
{
    int status = 0;
    QElapsedTimer waited;
    waited.start();
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (waited.elapsed() > RunLimitMs) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        QTest::qWait(ExitPollMs);
    }
    if (signal)
        *signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int runConsoleWithBytes(const QString &program, const std::vector<std::string> &arguments,
                        const QString &outputFile, const std::function<void()> &whileRunning)
{
    const int pid = spawnConsole(program, arguments, {.outputFile = outputFile});
    whileRunning();
    return waitForConsole(pid);
}
