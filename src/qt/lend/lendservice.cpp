#include "qt/lend/lendservice.h"

#include <stdexcept>

LendService::LendService(FleetWatch &fleet, Notice notice) : m_fleet(fleet), m_notice(std::move(notice))
{
    for (const FleetProjector &projector : m_fleet.projectors())
        listen(projector);
}

void LendService::listen(const FleetProjector &projector)
{
    if (!projector.lend)
        return;
    auto server = std::make_unique<LendServer>(m_fleet, projector.name, *projector.lend);
    // The port taken, which a port 0 leaves to the system.
    m_notice("lending " + projector.name + "'s line on " + projector.lend->host + ":" +
             std::to_string(server->port()));
    m_servers[projector.name] = std::move(server);
}

void LendService::projectorAdded(const FleetProjector &projector)
{
    // A projector that came with a reload; those of the start listen already.
    if (m_servers.contains(projector.name))
        return;
    try {
        listen(projector);
    } catch (const std::runtime_error &error) {
        m_notice(error.what());
    }
}

void LendService::projectorRemoved(const std::string &projector)
{
    m_servers.erase(projector);
}
