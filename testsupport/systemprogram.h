#pragma once

#include <QString>

// A program on the PATH or in /usr/sbin, where Debian puts daemons and a user's PATH may not look; empty
// when it is in neither.
QString systemProgram(const QString &name);
