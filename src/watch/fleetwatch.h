#pragma once

#include "exchange/exchangeengine.h"
#include "watch/fleetobserver.h"
#include "watch/statuswatch.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the platform gives one projector's watch: its own port, and its timers.
struct WatchParts
{
    SerialPort &port;
    Timer &round;
    Timer &wait;
    Timer &reopen;
    Timer &hold;    // a held power press's limit
    Timer &silence; // a lent line's silence limit
};

// How every projector of a fleet is watched: the plan's queries and period, each reply's wait, and the
// gap after each reply.
struct FleetPlan
{
    std::vector<std::string> queries;
    std::chrono::milliseconds period{1000};
    std::chrono::milliseconds wait{500};
    std::chrono::milliseconds gap{0};
};

// A fleet of projectors watched at once: one status watch per projector, each with its own line, its own
// reconnect pause and its own rounds, so that none waits on another. Every observer is told the same.
class FleetWatch : private FleetObserver
{
public:
    using MakeParts = std::function<WatchParts(const FleetProjector &)>;
    // The parts made for the projector are no longer used (it left the fleet): the platform frees them.
    using ReleaseParts = std::function<void(const std::string &projector)>;

    FleetWatch(std::vector<FleetProjector> projectors, const FleetPlan &plan, MakeParts makeParts,
               ExchangeEngine::Clock clock, ReleaseParts releaseParts = {});
    FleetWatch(const FleetWatch &) = delete;
    FleetWatch &operator=(const FleetWatch &) = delete;
    ~FleetWatch() override;

    const std::vector<FleetProjector> &projectors() const { return m_projectors; }
    // Every observer is told the same, in the order they were added; all are added before start().
    void addObserver(FleetObserver &observer) { m_observers.push_back(&observer); }
    // Tells every observer of each projector, then opens every line.
    void start();
    // Closes every line.
    void stop();
    // The fleet as the file reads now. A projector whose line is unchanged (name, endpoint, speed, group,
    // pjlink) keeps its watch, line and values; one that left or changed is closed, every observer told
    // projectorRemoved, and its parts released; one that came or changed is made, every observer told
    // projectorAdded, and opened. Then every observer is told fleetRead(true).
    void reload(std::vector<FleetProjector> projectors);
    // The file could not be read again: every observer is told fleetRead(false), and the fleet goes on.
    void reloadRefused();
    // The port of this projector may have changed state (an open completing later).
    void portChanged(const std::string &projector);
    // A press or command for the projector from where it came ("mqtt", "http 10.0.0.5"), through its
    // watch's held-press rule; every observer is told of it.
    PressOutcome command(const std::string &projector, std::string text, const std::string &from);
    // Lends the projector's line to a borrower at `to` (see StatusWatch::lend); returns why not.
    std::optional<std::string> lend(const std::string &projector, LineBorrower &borrower, std::string to);
    // The borrower's bytes for the projector's line: how many of them its port took.
    std::size_t lentOutput(const std::string &projector, std::string_view bytes);
    // The borrower gives the projector's line back.
    void takeBack(const std::string &projector);

private:
    struct Watched;
    Watched *find(const std::string &projector);
    std::unique_ptr<Watched> make(const FleetProjector &projector);
    void drop(std::unique_ptr<Watched> watched);
    void tellRead(bool good);
    void tellCommanded(const std::string &projector, const Exchange &exchange);

    void lineChanged(const std::string &projector, bool connected, const std::string &reason) override;
    void exchanged(const std::string &projector, const Exchange &exchange, bool changed) override;
    void roundEnded(const std::string &projector, bool answered) override;
    void commanded(const std::string &projector, const Exchange &exchange) override;
    void powerChanged(const std::string &projector, PowerState state) override;
    void heldPressEnded(const std::string &projector, const PressOutcome &outcome) override;
    void lineLent(const std::string &projector, const std::string &to) override;

    std::vector<FleetProjector> m_projectors;
    FleetPlan m_plan;
    MakeParts m_makeParts;
    ExchangeEngine::Clock m_clock;
    ReleaseParts m_releaseParts;
    bool m_started = false;
    std::vector<FleetObserver *> m_observers;
    std::vector<std::unique_ptr<Watched>> m_watched;
    // The projector a press is being given to, and the exchanges its watch told meanwhile.
    std::optional<std::string> m_pressing;
    std::vector<Exchange> m_toldDuringPress;
};
