#include "qt/commandline/portendpoints.h"

PortEndpoints::PortEndpoints(const ConsoleOptions &options) : m_endpoints{options.com1, options.com2}
{
    if (!options.simulate)
        return;
    for (Endpoint &endpoint : m_endpoints) {
        m_simulators.push_back(std::make_unique<SimulatedProjector>());
        endpoint = parseEndpoint(m_simulators.back()->slavePath());
    }
}
