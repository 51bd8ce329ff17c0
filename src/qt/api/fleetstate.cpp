#include "qt/api/fleetstate.h"

#include "mqtt/presskeys.h"
#include "wire/printable.h"

#include <algorithm>

namespace {
QJsonValue textOrNull(const std::optional<std::string> &text)
{
    return text ? QJsonValue(QString::fromStdString(*text)) : QJsonValue(QJsonValue::Null);
}

// A time as every time of the JSON is written, or null when there is none.
QJsonValue timeOrNull(const QDateTime &time)
{
    return time.isValid() ? QJsonValue(time.toString(Qt::ISODateWithMs)) : QJsonValue(QJsonValue::Null);
}
} // namespace

void FleetState::add(const FleetProjector &projector)
{
    if (find(projector.name))
        return;
    m_index[projector.name] = m_projectors.size();
    m_projectors.push_back({projector, false, PowerState::Unknown, std::nullopt, {}, {}, {}, {}});
}

void FleetState::remove(const std::string &name)
{
    std::erase_if(m_projectors, [&](const Projector &kept) { return kept.projector.name == name; });
    m_index.clear();
    for (std::size_t i = 0; i < m_projectors.size(); ++i)
        m_index[m_projectors[i].projector.name] = i;
}

bool FleetState::has(const std::string &name) const
{
    return find(name) != nullptr;
}

std::vector<std::string> FleetState::inGroup(const std::string &group) const
{
    std::vector<std::string> names;
    for (const Projector &kept : m_projectors) {
        if (!group.empty() && kept.projector.group == group)
            names.push_back(kept.projector.name);
    }
    return names;
}

void FleetState::setConnected(const std::string &name, bool connected)
{
    if (Projector *kept = find(name))
        kept->connected = connected;
}

void FleetState::setPower(const std::string &name, PowerState power)
{
    if (Projector *kept = find(name))
        kept->power = power;
}

void FleetState::setPending(const std::string &name, std::optional<std::string> text)
{
    if (Projector *kept = find(name))
        kept->pending = std::move(text);
}

std::optional<std::string> FleetState::pending(const std::string &name) const
{
    const Projector *kept = find(name);
    return kept ? kept->pending : std::nullopt;
}

void FleetState::setValue(const std::string &name, const std::string &key, const QJsonValue &value)
{
    if (Projector *kept = find(name))
        kept->values.insert(QString::fromStdString(key), value);
}

void FleetState::replied(const std::string &name)
{
    if (Projector *kept = find(name))
        kept->lastReply = QDateTime::currentDateTimeUtc();
}

void FleetState::setLent(const std::string &name, const std::string &to)
{
    if (Projector *kept = find(name)) {
        kept->lentTo = to;
        kept->lentSince = to.empty() ? QDateTime() : QDateTime::currentDateTimeUtc();
    }
}

QJsonValue FleetState::lent(const std::string &name) const
{
    const Projector *kept = find(name);
    if (!kept || kept->lentTo.empty())
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("to"), QString::fromStdString(printable(kept->lentTo))},
                       {QStringLiteral("since"), timeOrNull(kept->lentSince)}};
}

QJsonObject FleetState::json(const std::string &name) const
{
    const Projector *kept = find(name);
    if (!kept)
        return {};
    const FleetProjector &projector = kept->projector;
    return {
        {QStringLiteral("name"), QString::fromStdString(projector.name)},
        {QStringLiteral("group"),
         textOrNull(projector.group.empty() ? std::nullopt : std::optional(projector.group))},
        {QStringLiteral("endpoint"), QString::fromStdString(projector.endpoint.text)},
        {QStringLiteral("connected"), kept->connected},
        {QStringLiteral("power"), QString::fromLatin1(powerStateName(kept->power))},
        {QStringLiteral("pending"),
         textOrNull(kept->pending ? std::optional(pressName(*kept->pending)) : std::nullopt)},
        {QStringLiteral("values"), kept->values},
        {QStringLiteral("last_reply"), timeOrNull(kept->lastReply)},
        {QStringLiteral("lent"), lent(name)},
    };
}

std::vector<std::string> FleetState::names() const
{
    std::vector<std::string> names;
    for (const Projector &kept : m_projectors)
        names.push_back(kept.projector.name);
    return names;
}

FleetState::Projector *FleetState::find(const std::string &name)
{
    return const_cast<Projector *>(std::as_const(*this).find(name));
}

const FleetState::Projector *FleetState::find(const std::string &name) const
{
    const auto found = m_index.find(name);
    return found == m_index.end() ? nullptr : &m_projectors[found->second];
}
