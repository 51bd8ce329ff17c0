#pragma once

#include "link/portchoice.h"

#include <vector>

#include <QString>

// Every serial port QSerialPortInfo finds, with its /dev/serial/by-id name.
std::vector<PortDescription> availablePorts();

// A built-in port (/dev/ttyS0) that the system does not list as real: no hardware answers behind it.
bool builtInPortWithoutHardware(const QString &device);
