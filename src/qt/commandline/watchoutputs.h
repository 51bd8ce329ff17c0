#pragma once

#include "exchange/exitcode.h"
#include "qt/commandline/commandline.h"
#include "watch/fleetobserver.h"
#include "watch/fleetwatch.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// One line for stderr, in the console's words.
using WatchNotice = std::function<void(const std::string &)>;
// Ends the watch with an exit code and the one line for stderr, from an output that cannot go on.
using WatchEnd = std::function<void(ExitCode, const std::string &error)>;

// The outputs a watch feeds besides standard output (metrics, MQTT), made from the options before any
// line opens, each told what the fleet sees; one that cannot start throws std::runtime_error with the
// reason, and the run ends with 2 before any line opens. An output that fails later for good ends the
// watch through end.
std::vector<std::unique_ptr<FleetObserver>> watchOutputs(const ConsoleOptions &options, FleetWatch &fleet,
                                                         const WatchNotice &notice, const WatchEnd &end);
