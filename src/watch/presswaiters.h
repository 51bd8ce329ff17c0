#pragma once

#include "exchange/exchange.h"
#include "watch/fleetobserver.h"
#include "watch/pressoutcome.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>

// Presses given from outside that wait for the exchange they lead to. The watch sends a projector's
// presses in the order it took them, so each one that went out is matched to the first exchange of its
// text told after it, presses given elsewhere (another output) holding their places in the line.
class PressWaiters : public FleetObserver
{
public:
    // The press's exchange; nullptr when none will come (the projector left, the console is stopping).
    using Done = std::function<void(const Exchange *)>;
    // Gives the press to the fleet and returns what came of it at once.
    using Give = std::function<PressOutcome()>;

    PressWaiters() = default;
    ~PressWaiters() override { abandon(); }
    PressWaiters(const PressWaiters &) = delete;
    PressWaiters &operator=(const PressWaiters &) = delete;

    // Gives a press to the projector; done is told its exchange when it went out (Sent), and is
    // dropped otherwise.
    PressOutcome press(const std::string &projector, const Give &give, Done done);

    // Every press still waiting is told that no exchange will come (the console is stopping).
    void abandon();

    void commanded(const std::string &projector, const Exchange &exchange) override;
    void pressed(const std::string &projector, const std::string &from, const PressOutcome &outcome) override;
    void projectorRemoved(const std::string &projector) override;

private:
    struct Waiter
    {
        std::string text;
        Done done; // empty for a press given elsewhere
    };
    // The press being given now, until the watch has taken it.
    struct Asking
    {
        std::string projector;
        Done done;
    };

    std::map<std::string, std::deque<Waiter>> m_waiting;
    std::optional<Asking> m_asking;
};
