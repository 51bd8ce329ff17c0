#pragma once

#include <QProcess>
#include <QString>

// A program on the PATH or in /usr/sbin, where Debian puts daemons and a user's PATH may not look; empty
// when it is in neither.
QString systemProgram(const QString &name);

// Ends a peer the test started: SIGTERM (or SIGKILL at once), and SIGKILL when it has not ended within
// two seconds.
void stopProgram(QProcess &process, bool kill = false);
