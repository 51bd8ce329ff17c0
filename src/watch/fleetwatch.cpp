#include "watch/fleetwatch.h"

#include <algorithm>
#include <utility>

struct FleetWatch::Watched
{
    Watched(const FleetProjector &projector, const FleetPlan &plan, const WatchParts &parts,
            ExchangeEngine::Clock clock, FleetObserver &observer)
        : projector(projector), engine(parts.port, parts.wait, std::move(clock), plan.wait, plan.gap),
          watch(projector.name, parts.port, engine, parts.round, parts.reopen, parts.hold, parts.silence,
                WatchPlan{plan.queries, projector.settings, plan.period}, observer)
    {
    }

    FleetProjector projector;
    ExchangeEngine engine;
    StatusWatch watch;
};

namespace {
// Whether two listening addresses, if any, are one server.
bool sameServer(const std::optional<HostPort> &one, const std::optional<HostPort> &other)
{
    return one.has_value() == other.has_value() &&
           (!one || (one->host == other->host && one->port == other->port));
}

// Whether a reload leaves the projector's line as it is.
bool sameLine(const FleetProjector &one, const FleetProjector &other)
{
    return one.name == other.name && one.endpoint.text == other.endpoint.text &&
           one.settings == other.settings && one.group == other.group &&
           sameServer(one.pjlink, other.pjlink) && sameServer(one.lend, other.lend);
}
} // namespace

FleetWatch::FleetWatch(std::vector<FleetProjector> projectors, const FleetPlan &plan, MakeParts makeParts,
                       ExchangeEngine::Clock clock, ReleaseParts releaseParts)
    : m_projectors(std::move(projectors)), m_plan(plan), m_makeParts(std::move(makeParts)),
      m_clock(std::move(clock)), m_releaseParts(std::move(releaseParts))
{
    for (const FleetProjector &projector : m_projectors)
        m_watched.push_back(make(projector));
}

FleetWatch::~FleetWatch() = default;

std::unique_ptr<FleetWatch::Watched> FleetWatch::make(const FleetProjector &projector)
{
    FleetObserver &everyObserver = *this;
    return std::make_unique<Watched>(projector, m_plan, m_makeParts(projector), m_clock, everyObserver);
}

void FleetWatch::start()
{
    m_started = true;
    for (const FleetProjector &projector : m_projectors) {
        for (FleetObserver *observer : m_observers)
            observer->projectorAdded(projector);
    }
    tellRead(true);
    for (const std::unique_ptr<Watched> &watched : m_watched)
        watched->watch.start();
}

void FleetWatch::stop()
{
    m_started = false;
    for (const std::unique_ptr<Watched> &watched : m_watched)
        watched->watch.stop();
}

void FleetWatch::reload(std::vector<FleetProjector> projectors)
{
    std::vector<std::unique_ptr<Watched>> leaving;
    for (std::unique_ptr<Watched> &watched : m_watched) {
        if (std::none_of(projectors.begin(), projectors.end(), [&watched](const FleetProjector &projector) {
                return sameLine(projector, watched->projector);
            }))
            leaving.push_back(std::move(watched));
    }
    std::erase(m_watched, nullptr);
    // Every line that goes is closed before any that comes opens: a projector renamed keeps its server.
    for (std::unique_ptr<Watched> &watched : leaving)
        drop(std::move(watched));
    m_projectors = std::move(projectors);
    for (const FleetProjector &projector : m_projectors) {
        if (find(projector.name))
            continue;
        m_watched.push_back(make(projector));
        for (FleetObserver *observer : m_observers)
            observer->projectorAdded(projector);
        if (m_started)
            m_watched.back()->watch.start();
    }
    tellRead(true);
}

void FleetWatch::reloadRefused()
{
    tellRead(false);
}

void FleetWatch::drop(std::unique_ptr<Watched> watched)
{
    const std::string name = watched->projector.name;
    watched->watch.stop();
    for (FleetObserver *observer : m_observers)
        observer->projectorRemoved(name);
    // The watch and its engine use the parts to the last.
    watched.reset();
    if (m_releaseParts)
        m_releaseParts(name);
}

void FleetWatch::tellRead(bool good)
{
    for (FleetObserver *observer : m_observers)
        observer->fleetRead(good);
}

FleetWatch::Watched *FleetWatch::find(const std::string &projector)
{
    for (const std::unique_ptr<Watched> &watched : m_watched) {
        if (watched->watch.name() == projector)
            return watched.get();
    }
    return nullptr;
}

void FleetWatch::portChanged(const std::string &projector)
{
    if (Watched *watched = find(projector))
        watched->watch.portChanged();
}

PressOutcome FleetWatch::command(const std::string &projector, std::string text, const std::string &from)
{
    Watched *watched = find(projector);
    if (!watched)
        return PressOutcome::dropped(std::move(text), "no projector is named " + projector,
                                     PressOutcome::Reason::UnknownProjector);
    // A write refused at once tells its exchange inside the watch's command: held here, so that every
    // observer hears of the press before its exchange.
    m_pressing = projector;
    const PressOutcome outcome = watched->watch.command(text);
    m_pressing.reset();
    for (FleetObserver *observer : m_observers)
        observer->pressed(projector, from, outcome);
    for (const Exchange &exchange : std::exchange(m_toldDuringPress, {}))
        tellCommanded(projector, exchange);
    return outcome;
}

std::optional<std::string> FleetWatch::lend(const std::string &projector, LineBorrower &borrower,
                                            std::string to)
{
    Watched *watched = find(projector);
    if (!watched)
        return "no projector is named " + projector;
    return watched->watch.lend(borrower, std::move(to));
}

std::size_t FleetWatch::lentOutput(const std::string &projector, std::string_view bytes)
{
    Watched *watched = find(projector);
    return watched ? watched->watch.lentOutput(bytes) : 0;
}

void FleetWatch::takeBack(const std::string &projector)
{
    if (Watched *watched = find(projector))
        watched->watch.takeBack();
}

void FleetWatch::lineChanged(const std::string &projector, bool connected, const std::string &reason)
{
    for (FleetObserver *observer : m_observers)
        observer->lineChanged(projector, connected, reason);
}

void FleetWatch::exchanged(const std::string &projector, const Exchange &exchange, bool changed)
{
    for (FleetObserver *observer : m_observers)
        observer->exchanged(projector, exchange, changed);
}

void FleetWatch::roundEnded(const std::string &projector, bool answered)
{
    for (FleetObserver *observer : m_observers)
        observer->roundEnded(projector, answered);
}

void FleetWatch::commanded(const std::string &projector, const Exchange &exchange)
{
    if (m_pressing == projector)
        m_toldDuringPress.push_back(exchange);
    else
        tellCommanded(projector, exchange);
}

void FleetWatch::tellCommanded(const std::string &projector, const Exchange &exchange)
{
    for (FleetObserver *observer : m_observers)
        observer->commanded(projector, exchange);
}

void FleetWatch::powerChanged(const std::string &projector, PowerState state)
{
    for (FleetObserver *observer : m_observers)
        observer->powerChanged(projector, state);
}

void FleetWatch::heldPressEnded(const std::string &projector, const PressOutcome &outcome)
{
    for (FleetObserver *observer : m_observers)
        observer->heldPressEnded(projector, outcome);
}

void FleetWatch::lineLent(const std::string &projector, const std::string &to)
{
    for (FleetObserver *observer : m_observers)
        observer->lineLent(projector, to);
}
