#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// One simulated projector (tavo-projector-sim, given its path, with more options if any) on a free
// loopback port, answering at once and telling each line it receives on its stderr.
struct SimulatorProcess
{
    explicit SimulatorProcess(const QString &program, const QStringList &options = {});
    ~SimulatorProcess();

    QProcess process;
    QString endpoint; // tcp://127.0.0.1:PORT
};

// The real console (given its path) watching a fleet file of these lines (none: the file is there already)
// every second, started with these arguments besides, and the port it names on stderr by the
// announcement's first capture; 0 when it names none in time or ends.
struct AnnouncedConsole
{
    AnnouncedConsole(const QString &program, const QString &fleetFile, const QByteArray &fleetLines,
                     const QStringList &arguments, const QString &announcement);
    ~AnnouncedConsole();

    QProcess process;
    QByteArray err;
    quint16 port = 0;
};
