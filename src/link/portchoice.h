#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One serial port as the system lists it.
struct PortDescription
{
    std::string device;   // "/dev/ttyUSB0"
    std::string byIdName; // "/dev/serial/by-id/usb-...", or empty
    std::string description;
    std::string manufacturer;
    std::string serialNumber;
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
    bool usb = false;
};

// The device "auto" names for COM1 (comPort 1) or COM2 (2): the first or second USB adapter in the
// order of their serial numbers (else their by-id names, else their devices), never the order the
// system found them in; without that many adapters, the PC's own port, fallback.
std::string chooseAutoDevice(std::vector<PortDescription> ports, int comPort, const std::string &fallback);

// The PC's own port that auto names for COM1 (comPort 1) or COM2 (2) when no adapter is found.
std::string builtInPort(int comPort);

// What --list-ports prints: one line per port, or "no serial ports found".
std::string portListing(const std::vector<PortDescription> &ports);
