#include "watch/statuswatch.h"

#include "link/startport.h"
#include "wire/statusqueries.h"

#include <algorithm>
#include <utility>

namespace {
constexpr int PauseGrowth = 2;
} // namespace

StatusWatch::StatusWatch(std::string name, SerialPort &port, ExchangeEngine &engine, Timer &round,
                         Timer &reopen, Timer &hold, Timer &silence, WatchPlan plan, FleetObserver &observer)
    : m_name(std::move(name)), m_port(port), m_engine(engine), m_round(round), m_reopen(reopen),
      m_silence(silence), m_plan(std::move(plan)), m_observer(observer),
      m_rule(hold, [this](const PressOutcome &outcome) { m_observer.heldPressEnded(m_name, outcome); })
{
    for (Timer *timer : {&m_round, &m_reopen, &m_silence})
        timer->setEnabled(false);
    m_round.setInterval(m_plan.period);
    m_silence.setInterval(LentSilenceLimit);
    m_silence.setOnTick([this] {
        LineBorrower *borrower = endLoan();
        if (!borrower)
            return;
        resume();
        borrower->takenBack("silent for " + std::to_string(LentSilenceLimit.count()) + " minutes");
    });
    m_round.setOnTick([this] { beginRound(); });
    m_reopen.setOnTick([this] {
        m_reopen.setEnabled(false);
        open();
    });
    m_engine.setOnFailed([this](const SerialError &error) {
        m_port.setPortOpen(false);
        failed(portFailureText(error));
    });
    m_port.setOnLost([this](const SerialError &error) { failed(portFailureText(error)); });
    m_port.setOnOpened([this] { portChanged(); });
    m_port.setOnOpenFailed([this](const SerialError &error) { failed(portFailureText(error)); });
}

void StatusWatch::start()
{
    open();
}

void StatusWatch::stop()
{
    // An open still under way is called off as an open line is closed.
    const bool opening = std::exchange(m_state, State::Stopped) == State::Opening;
    for (Timer *timer : {&m_round, &m_reopen})
        timer->setEnabled(false);
    m_engine.abandon();
    m_commands.clear();
    m_rule.clear();
    m_asking = Asking::Nothing;
    m_inRound = false;
    m_handedOver = false;
    if (m_port.PortOpen() || opening)
        m_port.setPortOpen(false);
    if (LineBorrower *borrower = endLoan())
        borrower->takenBack("the watch of " + m_name + " has stopped");
}

void StatusWatch::open()
{
    m_state = State::Opening;
    m_opening = true;
    try {
        openStartPort(m_port, m_plan.settings);
    } catch (const SerialError &error) {
        m_opening = false;
        failed(portFailureText(error));
        return;
    }
    m_opening = false;
    // An open that waits for its server is told later, by OnOpened or OnOpenFailed.
    portChanged();
}

void StatusWatch::portChanged()
{
    // A port still waiting for its server is open to writes but not yet to a round.
    if (m_state == State::Opening && !m_opening && m_port.PortOpen() && !m_port.connecting())
        opened();
}

void StatusWatch::opened()
{
    m_state = State::Open;
    m_round.setEnabled(true);
    m_observer.lineChanged(m_name, true, m_port.portName() + (m_wasOpen ? " is back" : " is open"));
    // Back from a loss, every answer is told again, as at the start.
    m_last.clear();
    m_wasOpen = true;
    beginRound();
}

void StatusWatch::failed(const std::string &why)
{
    if (m_state == State::Stopped || m_state == State::Closed)
        return;
    m_state = State::Closed;
    m_round.setEnabled(false);
    m_inRound = false;
    // The text the engine held: on the line, waiting for a late reply or the gap, or refused by the port.
    const std::optional<Exchange> partial = m_engine.abandon();
    const Asking asked = std::exchange(m_asking, Asking::Nothing);
    std::deque<std::string> unsent = std::exchange(m_commands, {});
    m_handedOver = false;
    m_reopen.setInterval(m_pause);
    m_reopen.setEnabled(true);
    m_pause = std::min<std::chrono::milliseconds>(m_pause * PauseGrowth, LongestReopenPause);
    if (LineBorrower *borrower = endLoan())
        borrower->takenBack(why);
    m_observer.lineChanged(m_name, false, why);
    setPower(PowerState::Unreachable);
    // A command given is told of, sent or not, so that whoever gave it is never left waiting.
    if (asked == Asking::Command && partial)
        m_observer.commanded(m_name, *partial);
    for (std::string &text : unsent) {
        Exchange none = describeExchange(std::move(text), {}, {});
        none.port = m_port.portName();
        m_observer.commanded(m_name, none);
    }
}

PressOutcome StatusWatch::command(std::string text)
{
    if (m_state != State::Open)
        return PressOutcome::dropped(std::move(text), "not connected", PressOutcome::Reason::NotConnected);
    if (m_borrower)
        return PressOutcome::dropped(std::move(text), "the line is lent to " + m_lentTo);
    PressOutcome outcome = m_rule.press(std::move(text), m_power);
    if (outcome.kind != PressOutcome::Kind::Sent)
        return outcome;
    return queue(std::move(outcome.text));
}

PressOutcome StatusWatch::queue(std::string text)
{
    if (m_commands.size() >= CommandsWaitingLimit)
        return PressOutcome::dropped(std::move(text),
                                     std::to_string(CommandsWaitingLimit) + " commands are already waiting",
                                     PressOutcome::Reason::QueueFull);
    m_commands.push_back(text);
    next();
    return PressOutcome::sent(std::move(text));
}

std::optional<std::string> StatusWatch::lend(LineBorrower &borrower, std::string to)
{
    if (m_borrower)
        return "the line is lent to " + m_lentTo;
    if (m_state != State::Open)
        return "the line is not connected";
    m_borrower = &borrower;
    m_lentTo = std::move(to);
    m_round.setEnabled(false);
    m_inRound = false;
    m_silence.setEnabled(true);
    m_observer.lineLent(m_name, m_lentTo);
    m_rule.drop("the line is lent to " + m_lentTo);
    next();
    return std::nullopt;
}

std::size_t StatusWatch::lentOutput(std::string_view bytes)
{
    if (!m_borrower || !m_handedOver)
        return 0;
    const std::size_t waiting = m_port.OutBufferCount();
    const std::size_t taken = std::min(bytes.size(), LentBacklogBytes - std::min(waiting, LentBacklogBytes));
    if (taken == 0)
        return 0;
    // Counted from the borrower's last bytes.
    m_silence.setEnabled(false);
    m_silence.setEnabled(true);
    m_engine.pass(std::string(bytes.substr(0, taken)));
    return taken;
}

void StatusWatch::takeBack()
{
    if (endLoan())
        resume();
}

void StatusWatch::handOver()
{
    m_handedOver = true;
    m_engine.lend([this](const std::string &bytes) { m_borrower->received(bytes); });
    m_borrower->handedOver();
}

LineBorrower *StatusWatch::endLoan()
{
    LineBorrower *borrower = std::exchange(m_borrower, nullptr);
    if (!borrower)
        return nullptr;
    m_silence.setEnabled(false);
    m_lentTo.clear();
    m_observer.lineLent(m_name, {});
    return borrower;
}

void StatusWatch::resume()
{
    if (std::exchange(m_handedOver, false))
        m_engine.takeBack();
    m_round.setEnabled(true);
    beginRound();
}

void StatusWatch::setPower(PowerState state)
{
    if (state == m_power)
        return;
    m_power = state;
    m_observer.powerChanged(m_name, state);
    // A held press goes out as a new press would, so a projector that settled where it leads sends nothing.
    if (std::optional<std::string> held = m_rule.settled(state)) {
        const PressOutcome outcome = command(std::move(*held));
        if (outcome.kind != PressOutcome::Kind::Sent)
            m_observer.heldPressEnded(m_name, outcome);
    }
}

void StatusWatch::beginRound()
{
    // A round still asking when the next is due lets it go: the line sets the pace.
    if (m_state != State::Open || m_inRound)
        return;
    m_inRound = true;
    m_nextQuery = 0;
    m_roundAnswered = false;
    next();
}

void StatusWatch::next()
{
    if (m_state != State::Open || m_asking != Asking::Nothing)
        return;
    if (!m_commands.empty()) {
        m_asking = Asking::Command;
        std::string text = std::move(m_commands.front());
        m_commands.pop_front();
        m_engine.send(std::move(text), [this](const Exchange &exchange) { commanded(exchange); });
        return;
    }
    if (m_borrower) {
        if (!m_handedOver)
            handOver();
        return;
    }
    if (!m_inRound)
        return;
    if (m_nextQuery < m_plan.queries.size()) {
        m_asking = Asking::Query;
        m_engine.send(m_plan.queries[m_nextQuery++], [this](const Exchange &exchange) { queried(exchange); });
        return;
    }
    m_inRound = false;
    if (m_roundAnswered)
        m_pause = FirstReopenPause;
    m_observer.roundEnded(m_name, m_roundAnswered);
    // A plan without CR0 knows only whether the projector answers.
    if (!m_roundAnswered)
        setPower(PowerState::Unreachable);
    else if (m_power == PowerState::Unreachable)
        setPower(PowerState::Unknown);
}

void StatusWatch::queried(const Exchange &exchange)
{
    m_asking = Asking::Nothing;
    std::pair<bool, std::string> seen{exchange.answered, exchange.reply};
    const auto last = m_last.find(exchange.sent);
    const bool changed = last == m_last.end() || last->second != seen;
    m_last[exchange.sent] = std::move(seen);
    m_roundAnswered = m_roundAnswered || exchange.answered;
    m_observer.exchanged(m_name, exchange, changed);
    if (exchange.sent == StatusQuery::OperatingState && exchange.answered)
        setPower(exchange.refused ? PowerState::Unknown : powerStateOf(exchange));
    next();
}

void StatusWatch::commanded(const Exchange &exchange)
{
    m_asking = Asking::Nothing;
    m_observer.commanded(m_name, exchange);
    next();
}
