#pragma once

#include "link/endpoint.h"
#include "qt/simulator/simulatedprojector.h"

#include <memory>
#include <vector>

// What the operator asked COM1 and COM2 to reach.
struct PortsAsked
{
    Endpoint com1;
    Endpoint com2;
    // COM1 and COM2 are simulated projectors on pseudo-terminals.
    bool simulate = false;
};

// What COM1 and COM2 reach: the endpoints the command line names, or under --simulate a simulated
// projector each, on pseudo-terminals that live as long as this.
class PortEndpoints
{
public:
    explicit PortEndpoints(const PortsAsked &asked);

    // port is 1 or 2.
    const Endpoint &endpoint(int port) const { return m_endpoints[port - 1]; }
    // The simulated projectors on COM1 and COM2, or none when the console drives real devices.
    const std::vector<std::unique_ptr<SimulatedProjector>> &simulators() const { return m_simulators; }

private:
    std::vector<std::unique_ptr<SimulatedProjector>> m_simulators;
    Endpoint m_endpoints[2];
};
