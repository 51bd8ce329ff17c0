#include "qt/pjlink/pjlinkservice.h"

#include "pjlink/pjlinkcommands.h"

#include <stdexcept>

PjlinkService::PjlinkService(const std::vector<FleetProjector> &projectors,
                             std::optional<std::string> password, Command command, Notice notice)
    : m_password(std::move(password)), m_command(std::move(command)), m_notice(std::move(notice))
{
    for (const FleetProjector &projector : projectors)
        listen(projector);
}

void PjlinkService::listen(const FleetProjector &projector)
{
    if (!projector.pjlink)
        return;
    const std::string name = projector.name;
    auto server = std::make_unique<PjlinkServer>(
        name, *projector.pjlink, m_password,
        [this, name](const std::string &client, const std::string &line, const PjlinkClient::Answer &answer) {
            handle(name, client, line, answer);
        });
    // The port taken, which a port 0 leaves to the system.
    m_notice("PJLink for " + name + " on " + projector.pjlink->host + ":" + std::to_string(server->port()));
    m_servers[name] = std::move(server);
}

void PjlinkService::handle(const std::string &projector, const std::string &client, const std::string &line,
                           const PjlinkClient::Answer &answer)
{
    const PjlinkStep step = pjlinkStep(line, m_fleet.find(projector));
    if (step.press.empty())
        return answer(step.answer);
    const std::string header = step.header;
    const PressOutcome outcome = m_waiters.press(
        projector, [&] { return m_command(projector, step.press, "pjlink " + client); },
        [answer, header](const Exchange *exchange) {
            answer(pjlinkAnswer(header, pjlinkExchangeResult(exchange)));
        });
    if (const std::optional<std::string_view> result = pjlinkOutcomeResult(outcome))
        answer(pjlinkAnswer(header, *result));
}

void PjlinkService::projectorAdded(const FleetProjector &projector)
{
    m_fleet.projectorAdded(projector);
    // A projector that came with a reload; those of the start listen already.
    if (m_servers.contains(projector.name))
        return;
    try {
        listen(projector);
    } catch (const std::runtime_error &error) {
        m_notice(error.what());
    }
}

void PjlinkService::lineChanged(const std::string &projector, bool connected, const std::string &reason)
{
    m_fleet.lineChanged(projector, connected, reason);
}

void PjlinkService::exchanged(const std::string &projector, const Exchange &exchange, bool changed)
{
    m_fleet.exchanged(projector, exchange, changed);
}

void PjlinkService::commanded(const std::string &projector, const Exchange &exchange)
{
    m_waiters.commanded(projector, exchange);
}

void PjlinkService::powerChanged(const std::string &projector, PowerState state)
{
    m_fleet.powerChanged(projector, state);
}

void PjlinkService::pressed(const std::string &projector, const std::string &from,
                            const PressOutcome &outcome)
{
    m_waiters.pressed(projector, from, outcome);
}

void PjlinkService::projectorRemoved(const std::string &projector)
{
    m_servers.erase(projector);
    m_waiters.projectorRemoved(projector);
    m_fleet.projectorRemoved(projector);
}
