#include "watch/fleetwatch.h"

struct FleetWatch::Watched
{
    Watched(const FleetProjector &projector, const FleetPlan &plan, const WatchParts &parts,
            ExchangeEngine::Clock clock, FleetObserver &observer)
        : engine(parts.port, parts.wait, std::move(clock), plan.wait, plan.gap),
          watch(projector.name, parts.port, engine, parts.round, parts.reopen, parts.hold,
                WatchPlan{plan.queries, projector.settings, plan.period}, observer)
    {
    }

    ExchangeEngine engine;
    StatusWatch watch;
};

FleetWatch::FleetWatch(std::vector<FleetProjector> projectors, const FleetPlan &plan,
                       const MakeParts &makeParts, ExchangeEngine::Clock clock)
    : m_projectors(std::move(projectors))
{
    FleetObserver &everyObserver = *this;
    for (const FleetProjector &projector : m_projectors)
        m_watched.push_back(
            std::make_unique<Watched>(projector, plan, makeParts(projector), clock, everyObserver));
}

FleetWatch::~FleetWatch() = default;

void FleetWatch::start()
{
    for (const FleetProjector &projector : m_projectors) {
        for (FleetObserver *observer : m_observers)
            observer->projectorAdded(projector);
    }
    for (const std::unique_ptr<Watched> &watched : m_watched)
        watched->watch.start();
}

void FleetWatch::stop()
{
    for (const std::unique_ptr<Watched> &watched : m_watched)
        watched->watch.stop();
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
    // Told once the watch has taken it: only a write refused at once tells its exchange sooner.
    const PressOutcome outcome = watched->watch.command(text);
    for (FleetObserver *observer : m_observers)
        observer->pressed(projector, from, outcome);
    return outcome;
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
