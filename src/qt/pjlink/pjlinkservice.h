#pragma once

#include "pjlink/pjlinkfleet.h"
#include "qt/pjlink/pjlinkserver.h"
#include "watch/fleetobserver.h"
#include "watch/presswaiters.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The fleet's projectors as PJLink class 1 devices: a server for each that has an address, queries
// answered from what the fleet told last, set commands given through the fleet and answered by their
// exchange.
class PjlinkService : public FleetObserver
{
public:
    // Gives a press to a projector's watch, from where, and what came of it there.
    using Command =
        std::function<PressOutcome(const std::string &projector, std::string text, const std::string &from)>;
    // One line for stderr: a server that could not be made after a reload.
    using Notice = std::function<void(const std::string &)>;

    // Listens for every projector that has an address; throws std::runtime_error with the reason when
    // one cannot be taken.
    PjlinkService(const std::vector<FleetProjector> &projectors, std::optional<std::string> password,
                  Command command, Notice notice);

    void projectorAdded(const FleetProjector &projector) override;
    void lineChanged(const std::string &projector, bool connected, const std::string &reason) override;
    void exchanged(const std::string &projector, const Exchange &exchange, bool changed) override;
    void commanded(const std::string &projector, const Exchange &exchange) override;
    void powerChanged(const std::string &projector, PowerState state) override;
    void pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome) override;
    void projectorRemoved(const std::string &projector) override;

private:
    void listen(const FleetProjector &projector);
    void handle(const std::string &projector, const std::string &client, const std::string &line,
                const PjlinkClient::Answer &answer);

    std::optional<std::string> m_password;
    Command m_command;
    Notice m_notice;
    PjlinkFleet m_fleet;
    PressWaiters m_waiters;
    std::map<std::string, std::unique_ptr<PjlinkServer>> m_servers;
};
