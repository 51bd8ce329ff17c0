#include "mqtt/mqtttopics.h"

namespace {
constexpr std::string_view Wildcard = "+";
constexpr std::string_view BridgeLevel = "bridge";
constexpr std::string_view GroupLevel = "group";
constexpr std::string_view AvailabilityLeaf = "availability";
constexpr std::string_view PowerLeaf = "power";
constexpr std::string_view PressLeaf = "press";
constexpr std::string_view SendLeaf = "send";
constexpr std::string_view ReplyLeaf = "reply";
constexpr std::string_view ErrorLeaf = "error";
} // namespace

std::string MqttTopics::under(std::string_view projector, std::string_view leaf) const
{
    std::string topic = m_base;
    topic.append("/").append(projector).append("/").append(leaf);
    return topic;
}

std::string MqttTopics::value(std::string_view projector, std::string_view key) const
{
    return under(projector, key);
}

std::string MqttTopics::power(std::string_view projector) const
{
    return under(projector, PowerLeaf);
}

std::string MqttTopics::availability(std::string_view projector) const
{
    return under(projector, AvailabilityLeaf);
}

std::string MqttTopics::press(std::string_view projector) const
{
    return under(projector, PressLeaf);
}

std::string MqttTopics::send(std::string_view projector) const
{
    return under(projector, SendLeaf);
}

std::string MqttTopics::reply(std::string_view projector) const
{
    return under(projector, ReplyLeaf);
}

std::string MqttTopics::error(std::string_view projector) const
{
    return under(projector, ErrorLeaf);
}

std::string MqttTopics::bridgeAvailability() const
{
    return under(BridgeLevel, AvailabilityLeaf);
}

std::string MqttTopics::groupPress(std::string_view group) const
{
    return under(std::string(GroupLevel).append("/").append(group), PressLeaf);
}

std::string MqttTopics::groupError(std::string_view group) const
{
    return under(std::string(GroupLevel).append("/").append(group), ErrorLeaf);
}

std::string MqttTopics::pressFilter() const
{
    return under(Wildcard, PressLeaf);
}

std::string MqttTopics::sendFilter() const
{
    return under(Wildcard, SendLeaf);
}

std::string MqttTopics::groupPressFilter() const
{
    return groupPress(Wildcard);
}

std::optional<MqttTopics::Incoming> MqttTopics::incoming(std::string_view topic) const
{
    if (topic.size() <= m_base.size() + 1 || topic.substr(0, m_base.size()) != m_base ||
        topic[m_base.size()] != '/')
        return std::nullopt;
    const std::string_view rest = topic.substr(m_base.size() + 1);
    const std::size_t slash = rest.find('/');
    if (slash == 0 || slash == std::string_view::npos)
        return std::nullopt;
    const std::string_view leaf = rest.substr(slash + 1);
    const std::string projector(rest.substr(0, slash));
    // A projector may be called "group" too: its own topics have one level fewer.
    if (const std::size_t end = leaf.find('/'); projector == GroupLevel && end != std::string_view::npos) {
        if (end == 0 || leaf.substr(end + 1) != PressLeaf)
            return std::nullopt;
        return Incoming{std::string(leaf.substr(0, end)), Inbox::GroupPress};
    }
    if (leaf == PressLeaf)
        return Incoming{projector, Inbox::Press};
    if (leaf == SendLeaf)
        return Incoming{projector, Inbox::Send};
    return std::nullopt;
}

std::optional<std::string> topicBaseProblem(std::string_view base)
{
    if (base.empty())
        return "is empty";
    if (base.front() == '$')
        return "starts with '$', which the broker keeps for itself";
    if (base.find_first_of("+#") != std::string_view::npos)
        return "holds a wildcard ('+' or '#')";
    if (base.front() == '/' || base.back() == '/' || base.find("//") != std::string_view::npos)
        return "has an empty level";
    for (const char c : base) {
        if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7E)
            return "is not printable ASCII without blanks";
    }
    return std::nullopt;
}
