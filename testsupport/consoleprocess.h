#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

// The real tavo-console run from a test: given the program's path, with no display in its environment.

// The longest a run may take before the test gives up on it.
constexpr int RunLimitMs = 20000;

struct Outcome
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs it to its end, the event loop running meanwhile so a simulated projector of this process answers.
Outcome runConsole(const QString &program, const QStringList &arguments);

// Where a run started with spawnConsole reads and writes. Standard input is inherited unless closed or
// given; standard output goes to the file, or else to the descriptor; standard error to the file when
// one is named.
struct Redirections
{
    bool inputClosed = false;
    int inputDescriptor = -1;
    QString outputFile{};
    int outputDescriptor = -1;
    QString errorFile{};
};

// Starts it with arguments as raw bytes, which QProcess would pass as UTF-8; returns its process id.
int spawnConsole(const QString &program, const std::vector<std::string> &arguments,
                 const Redirections &redirections);

// Waits for it, running the event loop, and kills it past RunLimitMs. Its exit code; -1 when a signal
// ended it, the signal in `signal` when given.
int waitForConsole(int pid, int *signal = nullptr);

// spawnConsole, whileRunning, then waitForConsole.
int runConsoleWithBytes(const QString &program, const std::vector<std::string> &arguments,
                        const QString &outputFile, const std::function<void()> &whileRunning);
