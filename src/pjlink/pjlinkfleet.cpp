#include "pjlink/pjlinkfleet.h"

#include "wire/statusqueries.h"

#include <algorithm>
#include <variant>

const PjlinkStatus *PjlinkFleet::find(const std::string &projector) const
{
    const auto found = m_status.find(projector);
    return found == m_status.end() ? nullptr : &found->second;
}

void PjlinkFleet::projectorAdded(const FleetProjector &projector)
{
    m_status[projector.name] = PjlinkStatus{projector.name};
}

void PjlinkFleet::lineChanged(const std::string &projector, bool connected, const std::string &)
{
    if (const auto found = m_status.find(projector); found != m_status.end())
        found->second.connected = connected;
}

void PjlinkFleet::exchanged(const std::string &projector, const Exchange &exchange, bool)
{
    const auto found = m_status.find(projector);
    if (found == m_status.end() || !exchange.answered || !exchange.value)
        return;
    PjlinkStatus &status = found->second;
    const std::string *name = std::get_if<std::string>(&*exchange.value);
    const double *hours = std::get_if<double>(&*exchange.value);
    const auto *temperatures = std::get_if<std::vector<double>>(&*exchange.value);
    if (exchange.sent == StatusQuery::OperatingState)
        status.operating = name ? *name : std::string();
    else if (exchange.sent == StatusQuery::SelectedInput)
        status.input = name ? *name : std::string();
    else if (exchange.sent == StatusQuery::MuteAndSignal)
        status.mute = name ? *name : std::string();
    else if (exchange.sent == StatusQuery::LampHours)
        status.lampHours = hours ? std::optional<double>(*hours) : std::nullopt;
    else if (exchange.sent == StatusQuery::Temperatures)
        status.hottest =
            temperatures && !temperatures->empty()
                ? std::optional<double>(*std::max_element(temperatures->begin(), temperatures->end()))
                : std::nullopt;
}

void PjlinkFleet::powerChanged(const std::string &projector, PowerState state)
{
    if (const auto found = m_status.find(projector); found != m_status.end())
        found->second.power = state;
}

void PjlinkFleet::projectorRemoved(const std::string &projector)
{
    m_status.erase(projector);
}
