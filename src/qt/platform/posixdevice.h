#pragma once

#include "link/serialerror.h"

#include <optional>
#include <string>

// What only a POSIX system can tell of a serial device. A Windows build replaces posixdevice.cpp alone.

// True when a write to the open device would not have to wait, or the device is gone, so that the
// write finds it out at once.
bool lineTakesDataNow(int handle);

// Why the device itself cannot serve as a serial line (missing, not a terminal, no rights, a name too
// long), or nothing when it is a terminal this process may open.
std::optional<SerialError> deviceFault(const std::string &path);

// "process 1234, tio" when a lock file names the live process that holds the device, else empty.
std::string deviceHolder(const std::string &path);

// The /dev/serial/by-id name that leads to the device, or empty.
std::string byIdName(const std::string &device);
