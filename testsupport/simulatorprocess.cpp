#include "simulatorprocess.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {
constexpr int StartMs = 5000;
constexpr int AnnounceMs = 10000;
constexpr int StopMs = 5000;
} // namespace

SimulatorProcess::SimulatorProcess(const QString &program, const QStringList &options)
{
    process.start(program, QStringList{"--listen", "127.0.0.1:0", "--delay", "0", "--verbose"} + options);
    process.waitForReadyRead(StartMs);
    endpoint = QString::fromLatin1(process.readLine()).trimmed();
}

SimulatorProcess::~SimulatorProcess()
{
    process.kill();
    process.waitForFinished();
}

AnnouncedConsole::AnnouncedConsole(const QString &program, const QString &fleetFile,
                                   const QByteArray &fleetLines, const QStringList &arguments,
                                   const QString &announcement)
{
    QFile fleet(fleetFile);
    if (!fleetLines.isEmpty() && (!fleet.open(QIODevice::WriteOnly) || fleet.write(fleetLines) < 0))
        qFatal("cannot write the fleet file");
    fleet.close();
    process.start(program, QStringList{"--fleet", fleetFile, "--watch", "1"} + arguments);
    const QRegularExpression announced(announcement);
    (void)QTest::qWaitFor(
        [&] {
            err += process.readAllStandardError();
            const QRegularExpressionMatch match = announced.match(QString::fromLatin1(err));
            port = match.hasMatch() ? quint16(match.captured(1).toUInt()) : 0;
            return port != 0 || process.state() == QProcess::NotRunning;
        },
        AnnounceMs);
}

AnnouncedConsole::~AnnouncedConsole()
{
    process.terminate();
    process.waitForFinished(StopMs);
}
