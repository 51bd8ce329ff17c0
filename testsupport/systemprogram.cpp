#include "systemprogram.h"

#include <chrono>

#include <QStandardPaths>

namespace {
constexpr std::chrono::milliseconds StopWait{2000};
} // namespace

QString systemProgram(const QString &name)
{
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() ? QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin")}) : onPath;
}

void stopProgram(QProcess &process, bool kill)
{
    if (process.state() == QProcess::NotRunning)
        return;
    if (kill)
        process.kill();
    else
        process.terminate();
    if (!process.waitForFinished(int(StopWait.count())))
        process.kill();
    process.waitForFinished(int(StopWait.count()));
}
