#pragma once

#include "qt/lend/lendserver.h"
#include "watch/fleetobserver.h"
#include "watch/fleetwatch.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

// The fleet's lines that may be lent: a server for each projector that has a lend address, made and
// removed with the projector.
class LendService : public FleetObserver
{
public:
    // One line for stderr: the address taken, or a server that could not be made after a reload.
    using Notice = std::function<void(const std::string &)>;

    // Listens for every projector that has an address; throws std::runtime_error with the reason when
    // one cannot be taken.
    LendService(FleetWatch &fleet, Notice notice);

    void projectorAdded(const FleetProjector &projector) override;
    void projectorRemoved(const std::string &projector) override;

private:
    void listen(const FleetProjector &projector);

    FleetWatch &m_fleet;
    Notice m_notice;
    std::map<std::string, std::unique_ptr<LendServer>> m_servers;
};
