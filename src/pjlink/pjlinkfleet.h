#pragma once

#include "pjlink/pjlinkstatus.h"
#include "watch/fleetobserver.h"

#include <map>
#include <string>

// Each projector's last values as PJLink queries read them, kept as the fleet tells them.
class PjlinkFleet : public FleetObserver
{
public:
    // The projector's values; nullptr for a projector the fleet does not have.
    const PjlinkStatus *find(const std::string &projector) const;

    void projectorAdded(const FleetProjector &projector) override;
    void lineChanged(const std::string &projector, bool connected, const std::string &reason) override;
    void exchanged(const std::string &projector, const Exchange &exchange, bool changed) override;
    void powerChanged(const std::string &projector, PowerState state) override;
    void projectorRemoved(const std::string &projector) override;

private:
    std::map<std::string, PjlinkStatus> m_status;
};
