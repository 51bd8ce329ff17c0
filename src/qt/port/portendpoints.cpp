#include "qt/port/portendpoints.h"

PortEndpoints::PortEndpoints(const PortsAsked &asked) : m_endpoints{asked.com1, asked.com2}
{
    if (!asked.simulate)
        return;
    for (Endpoint &endpoint : m_endpoints) {
        m_simulators.push_back(std::make_unique<SimulatedProjector>());
        endpoint = parseEndpoint(m_simulators.back()->slavePath());
    }
}
