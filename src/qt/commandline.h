#pragma once

#include "links/endpoint.h"

#include <QString>
#include <QStringList>

// What --version prints, and the application's version.
inline const QString ConsoleVersion = QStringLiteral("1.40");

// What the command line asks of the console.
struct ConsoleOptions
{
    Endpoint com1;
    Endpoint com2;
    // COM1 and COM2 are simulated projectors on pseudo-terminals; no device may be named then.
    bool simulate = false;
};

// The outcome of reading the command line: run with options, or print and exit.
struct CommandLine
{
    bool run = false;
    int exitCode = 0;
    QString output; // for stdout
    QString error;  // one line for stderr
    ConsoleOptions options;
};

CommandLine parseCommandLine(const QStringList &arguments);
