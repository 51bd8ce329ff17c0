#pragma once

#include "watch/fleetobserver.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>

// Each projector as the API shows it, kept from what the fleet tells on the event loop's thread.
class FleetState
{
public:
    void add(const FleetProjector &projector);
    void remove(const std::string &name);
    bool has(const std::string &name) const;
    // The projectors of a group, in the fleet's order.
    std::vector<std::string> inGroup(const std::string &group) const;

    void setConnected(const std::string &name, bool connected);
    void setPower(const std::string &name, PowerState power);
    // The press held until the projector settles (its text), or none.
    void setPending(const std::string &name, std::optional<std::string> text);
    std::optional<std::string> pending(const std::string &name) const;
    void setValue(const std::string &name, const std::string &key, const QJsonValue &value);
    // An answer came now.
    void replied(const std::string &name);
    // The line was lent to `to` now; an empty `to` is the line taken back.
    void setLent(const std::string &name, const std::string &to);
    // The loan as JSON: {"to", "since"}, or null.
    QJsonValue lent(const std::string &name) const;

    // One projector: name, group, endpoint, connected, power, pending, values, last_reply, lent.
    QJsonObject json(const std::string &name) const;
    std::vector<std::string> names() const;

private:
    struct Projector
    {
        FleetProjector projector;
        bool connected = false;
        PowerState power = PowerState::Unknown;
        std::optional<std::string> pending;
        QJsonObject values;
        QDateTime lastReply;
        std::string lentTo{};
        QDateTime lentSince{};
    };
    Projector *find(const std::string &name);
    const Projector *find(const std::string &name) const;

    std::vector<Projector> m_projectors;
    // Where each projector is in m_projectors: a fleet is looked up for every exchange.
    std::unordered_map<std::string, std::size_t> m_index;
};
