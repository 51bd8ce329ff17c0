#pragma once

#include "exchange/exchange.h"
#include "link/endpoint.h"
#include "link/hostport.h"
#include "watch/powerstate.h"
#include "watch/pressoutcome.h"

#include <optional>
#include <string>

// One projector of a fleet, as a line of the fleet file names it.
struct FleetProjector
{
    std::string name;     // letters, digits, '-', '_' and '.'; unique in its fleet
    Endpoint endpoint;    // any kind but Auto
    std::string settings; // "19200,N,8,1" or "9600,N,8,1"
    std::string group{};  // same characters as a name; empty when the projector is in none

    // Where its PJLink server listens; none serves none.
    std::optional<HostPort> pjlink{};
    // Where its line is lent as raw TCP to one console at a time; none lends it to none.
    std::optional<HostPort> lend{};
};

// What a fleet tells the outputs it feeds (standard output, metrics, MQTT), all on the event loop's
// thread. An observer keeps what it needs and returns at once: it never waits, never throws, and never
// holds a projector's round.
class FleetObserver
{
public:
    virtual ~FleetObserver() = default;

    // Once per projector, in the file's order, before any line opens.
    virtual void projectorAdded(const FleetProjector &) {}
    // The projector's line opened (connected), or was lost or could not be opened, with the reason in
    // the console's words.
    virtual void lineChanged(const std::string & /*projector*/, bool /*connected*/,
                             const std::string & /*reason*/)
    {
    }
    // Every exchange of a status round; changed when its answer differs from the last one of that query
    // since the line opened (so the first round after a lost line is back is told whole, as at the start).
    virtual void exchanged(const std::string & /*projector*/, const Exchange &, bool /*changed*/) {}
    // A round is over: every query was asked, and whether any of them was answered.
    virtual void roundEnded(const std::string & /*projector*/, bool /*answered*/) {}
    // A command given from outside (FleetWatch::command) went out, and this came of it.
    virtual void commanded(const std::string & /*projector*/, const Exchange &) {}
    // The projector's power state changed (from Unknown, where every projector starts).
    virtual void powerChanged(const std::string & /*projector*/, PowerState) {}
    // A press that was held will not go out: it is Already or Dropped, and says why.
    virtual void heldPressEnded(const std::string & /*projector*/, const PressOutcome &) {}
    // A press given from outside (FleetWatch::command), from where ("mqtt", "http 10.0.0.5"), and what
    // came of it at once.
    virtual void pressed(const std::string & /*projector*/, const std::string & /*from*/,
                         const PressOutcome &)
    {
    }
    // The projector's line was lent to a console at `to` ("10.0.0.7:51000"), its rounds stopped; an empty
    // `to` is the line taken back, its rounds going on.
    virtual void lineLent(const std::string & /*projector*/, const std::string & /*to*/) {}
    // The projector left the fleet (a reload); nothing more is told of it.
    virtual void projectorRemoved(const std::string & /*projector*/) {}
    // The fleet file was read: at the start, and again on each reload; good when its projectors are the
    // fleet's now, else the running fleet goes on as it was.
    virtual void fleetRead(bool /*good*/) {}
};
