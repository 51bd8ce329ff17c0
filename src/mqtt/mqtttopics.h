#pragma once

#include <optional>
#include <string>
#include <string_view>

// The topics of the MQTT bridge under its base: BASE/NAME/KEY for the values, BASE/NAME/power for the power
// state's word, BASE/NAME/availability, BASE/NAME/press and BASE/NAME/send in, BASE/NAME/reply and
// BASE/NAME/error out, BASE/bridge/availability.
class MqttTopics
{
public:
    static constexpr std::string_view DefaultBase = "tavo";
    static constexpr std::string_view Online = "online";
    static constexpr std::string_view Offline = "offline";

    // What came in on a topic the bridge listens to.
    enum class Inbox { Press, Send, GroupPress };
    struct Incoming
    {
        std::string projector; // the group's name for a GroupPress
        Inbox inbox;
    };

    explicit MqttTopics(std::string base) : m_base(std::move(base)) {}

    std::string value(std::string_view projector, std::string_view key) const;
    std::string power(std::string_view projector) const;
    std::string availability(std::string_view projector) const;
    std::string press(std::string_view projector) const;
    std::string send(std::string_view projector) const;
    std::string reply(std::string_view projector) const;
    std::string error(std::string_view projector) const;
    std::string bridgeAvailability() const;
    std::string groupPress(std::string_view group) const;
    std::string groupError(std::string_view group) const;
    // The subscriptions that take presses and free-form commands for every projector, and presses for
    // every group.
    std::string pressFilter() const;
    std::string sendFilter() const;
    std::string groupPressFilter() const;
    // Which projector and inbox a topic is, when it is one of them.
    std::optional<Incoming> incoming(std::string_view topic) const;

private:
    std::string under(std::string_view projector, std::string_view leaf) const;

    std::string m_base;
};

// Why a topic base or discovery prefix cannot be used, or nullopt: it must be non-empty, without the
// wildcards '+' and '#', without empty levels, not start with '$' (the broker's own), and be text.
std::optional<std::string> topicBaseProblem(std::string_view base);
