#include "link/portchoice.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

namespace {
// What stays the same for an adapter whatever USB socket it is in and whenever it was plugged.
const std::string &stableName(const PortDescription &port)
{
    if (!port.serialNumber.empty())
        return port.serialNumber;
    return port.byIdName.empty() ? port.device : port.byIdName;
}

std::string hex4(std::uint16_t value)
{
    char text[5];
    std::snprintf(text, sizeof text, "%04x", unsigned(value));
    return text;
}

std::string portLine(const PortDescription &port)
{
    std::string line = port.device;
    const auto add = [&line](const std::string &label, const std::string &value) {
        if (!value.empty())
            line += "  " + label + value;
    };
    // A port the system lists without a USB bus behind it is one of the computer's own.
    if (!port.usb)
        add("", "built-in port");
    add("", port.byIdName);
    add("", port.description);
    add("made by ", port.manufacturer);
    add("serial ", port.serialNumber);
    if (port.vendorId && port.productId)
        add("USB ", hex4(*port.vendorId) + ':' + hex4(*port.productId));
    return line + '\n';
}
} // namespace

std::string builtInPort(int comPort)
{
    return "/dev/ttyS" + std::to_string(comPort - 1);
}

std::string chooseAutoDevice(std::vector<PortDescription> ports, int comPort, const std::string &fallback)
{
    std::erase_if(ports, [](const PortDescription &port) { return !port.usb; });
    std::sort(ports.begin(), ports.end(), [](const PortDescription &a, const PortDescription &b) {
        return std::tie(stableName(a), a.device) < std::tie(stableName(b), b.device);
    });
    const std::size_t index = std::size_t(comPort - 1);
    return index < ports.size() ? ports[index].device : fallback;
}

std::string portListing(const std::vector<PortDescription> &ports)
{
    if (ports.empty())
        return "no serial ports found\n";
    std::string listing;
    for (const PortDescription &port : ports)
        listing += portLine(port);
    // Said outright, since one looking for the adapter would otherwise take a built-in port for it.
    if (std::none_of(ports.begin(), ports.end(), [](const PortDescription &port) { return port.usb; }))
        listing += "no USB serial adapter found\n";
    return listing;
}
