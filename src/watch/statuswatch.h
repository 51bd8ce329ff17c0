#pragma once

#include "exchange/exchangeengine.h"
#include "link/serialport.h"
#include "link/timer.h"
#include "watch/fleetobserver.h"
#include "watch/lineborrower.h"
#include "watch/powerstate.h"
#include "watch/pressoutcome.h"
#include "watch/pressrule.h"

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a status watch asks, and how often.
struct WatchPlan
{
    std::vector<std::string> queries;
    std::string settings; // the line settings the port opens with
    std::chrono::milliseconds period{1000};
};

// A status watch of one projector: asks each query in turn over one connection, a round every period,
// one text on the line at a time, and tells its observer every exchange (and whether its answer changed),
// the end of each round and the line's state. A line that cannot be opened, or is lost, is opened again
// after a pause that doubles up to LongestReopenPause and starts again from FirstReopenPause only after a
// round that was answered. Commands given from outside pass the held-press rule against the power state its
// CR0 answers show, then wait their turn and go out before the next query. The line may be lent to a
// borrower, rounds and commands stopping meanwhile.
class StatusWatch
{
public:
    static constexpr auto FirstReopenPause = std::chrono::seconds(1);
    static constexpr auto LongestReopenPause = std::chrono::seconds(30);
    static constexpr std::size_t CommandsWaitingLimit = 16;
    // A borrower that sends nothing for this long has the line taken back.
    static constexpr auto LentSilenceLimit = std::chrono::minutes(10);
    // At most this many of a borrower's bytes wait for a slow line; more wait with the borrower.
    static constexpr std::size_t LentBacklogBytes = 4096;

    // The round timer runs every period, the reopen timer once per pause, the hold timer once per held
    // press, the silence timer once per loan; the engine owns the port's arrivals and the wait.
    StatusWatch(std::string name, SerialPort &port, ExchangeEngine &engine, Timer &round, Timer &reopen,
                Timer &hold, Timer &silence, WatchPlan plan, FleetObserver &observer);
    StatusWatch(const StatusWatch &) = delete;
    StatusWatch &operator=(const StatusWatch &) = delete;

    const std::string &name() const { return m_name; }
    // Opens the line and asks the first round once it is open.
    void start();
    // Closes the line; nothing more is asked or told.
    void stop();
    // The port's state may have changed (an open that completes later is told here).
    void portChanged();
    // A press or command, through the held-press rule: Sent once it is queued to go out before the next
    // query, else held, already, or dropped with why.
    PressOutcome command(std::string text);
    // Lends the open line to a borrower at `to`: the round stops, a held press is dropped, commands are
    // refused, and once the text on the line (and every command taken before) has its answer the
    // borrower is handed the line. Returns why not: the line is not open, or is lent already.
    std::optional<std::string> lend(LineBorrower &borrower, std::string to);
    // The borrower's bytes for the line, from the front: as many as its port takes now, counted.
    std::size_t lentOutput(std::string_view bytes);
    // The borrower gives the line back: the rounds go on once it has been quiet.
    void takeBack();
    bool connected() const { return m_state == State::Open; }
    PowerState power() const { return m_power; }

private:
    enum class State { Closed, Opening, Open, Stopped };
    enum class Asking { Nothing, Query, Command };

    void open();
    void opened();
    void failed(const std::string &why);
    void beginRound();
    void next();
    void queried(const Exchange &exchange);
    void commanded(const Exchange &exchange);
    PressOutcome queue(std::string text);
    void setPower(PowerState state);
    void handOver();
    // Ends the loan, if any, and tells the observer; the borrower it was lent to, or nullptr.
    LineBorrower *endLoan();
    // After a loan given back or outlived: the line rests quiet, then the rounds go on.
    void resume();

    std::string m_name;
    SerialPort &m_port;
    ExchangeEngine &m_engine;
    Timer &m_round;
    Timer &m_reopen;
    Timer &m_silence;
    WatchPlan m_plan;
    FleetObserver &m_observer;
    State m_state = State::Closed;
    // Inside the port's open, where a change it tells is the open itself.
    bool m_opening = false;
    bool m_wasOpen = false;
    Asking m_asking = Asking::Nothing;
    bool m_inRound = false;
    std::size_t m_nextQuery = 0;
    bool m_roundAnswered = false;
    std::chrono::milliseconds m_pause = FirstReopenPause;
    std::deque<std::string> m_commands;
    // The last reply told per query: whether it came whole, and its bytes.
    std::map<std::string, std::pair<bool, std::string>> m_last;
    PowerState m_power = PowerState::Unknown;
    PressRule m_rule;
    LineBorrower *m_borrower = nullptr;
    std::string m_lentTo;
    bool m_handedOver = false;
};
