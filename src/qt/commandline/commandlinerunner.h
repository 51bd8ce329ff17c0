#pragma once

#include "link/trafficlog.h"
#include "qt/commandline/commandline.h"

// Runs the command-line mode to its end: no window, COM1 only, one line per command on stdout.
// Returns the exit code.
int runCommandLineMode(int argc, char *argv[], const ConsoleOptions &options, TrafficLog *log);

// Runs a status watch until SIGINT or SIGTERM, of COM1 or of every projector of a fleet file: no window,
// one line per change on stdout, and the same to every other output. Returns the exit code.
int runStatusWatch(int argc, char *argv[], const ConsoleOptions &options, TrafficLog *log);
