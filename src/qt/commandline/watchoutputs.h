#pragma once

#include "console/fleetobserver.h"
#include "console/fleetwatch.h"
#include "qt/commandline/commandline.h"

#include <memory>
#include <vector>

// The outputs a watch feeds besides standard output (metrics, MQTT), made from the options before any
// line opens, each told what the fleet sees; one that cannot start throws std::runtime_error with the
// reason, and the run ends with 2 before any line opens.
std::vector<std::unique_ptr<FleetObserver>> watchOutputs(const ConsoleOptions &options, FleetWatch &fleet);
