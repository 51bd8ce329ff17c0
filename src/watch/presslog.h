#pragma once

#include "link/trafficlog.h"
#include "watch/fleetobserver.h"

// Every press given to the fleet, as a PRESS line of the traffic log, beside the bytes it sent; and each
// line lent and taken back, as a LEND line, so the log says whose bytes went meanwhile.
class PressLog : public FleetObserver
{
public:
    explicit PressLog(TrafficLog &log) : m_log(log) {}

    void pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome) override;
    void lineLent(const std::string &projector, const std::string &to) override;

private:
    TrafficLog &m_log;
};
