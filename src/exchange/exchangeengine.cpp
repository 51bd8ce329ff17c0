#include "exchange/exchangeengine.h"

#include "wire/framing.h"

#include <algorithm>
#include <utility>

ExchangeEngine::ExchangeEngine(SerialPort &port, Timer &timer, Clock clock, std::chrono::milliseconds wait,
                               std::chrono::milliseconds gap)
    : m_port(port), m_timer(timer), m_clock(std::move(clock)), m_wait(wait), m_gap(gap)
{
    m_timer.setEnabled(false);
    m_timer.setOnTick([this] { tick(); });
    m_port.setOnComm([this] { received(); });
}

void ExchangeEngine::send(std::string text, Done done)
{
    m_text = std::move(text);
    m_done = std::move(done);
    if (m_state == State::Free)
        transmit();
}

void ExchangeEngine::transmit()
{
    m_reply = {};
    m_sentAt = m_clock();
    try {
        m_port.Output(frameCommand(EmptyCommandPrefix, *m_text));
    } catch (const SerialError &error) {
        // The text stays held, for abandon() to give back.
        if (m_onFailed)
            m_onFailed(error);
        return;
    }
    rest(State::Awaiting, m_wait);
}

void ExchangeEngine::received()
{
    const std::string bytes = m_port.Input();
    if (m_state == State::Lent) {
        if (!bytes.empty())
            m_lentTo(bytes);
        return;
    }
    if (m_state != State::Awaiting) {
        drop(bytes);
        return;
    }
    m_reply.add(bytes);
    if (m_reply.complete)
        complete(std::string_view(bytes).substr(bytes.find('\r') + 1));
}

void ExchangeEngine::tick()
{
    switch (m_state) {
    case State::Awaiting:
        m_port.noReply(frameCommand(EmptyCommandPrefix, *m_text), m_wait);
        complete({});
        return;
    case State::Late:
    case State::Settling:
        settle();
        return;
    case State::Gap:
        release();
        return;
    case State::Free:
    case State::Lent:
        m_timer.setEnabled(false);
        return;
    }
}

Exchange ExchangeEngine::exchange()
{
    Exchange exchange = describeExchange(std::move(*m_text), std::move(m_reply), m_clock() - m_sentAt);
    exchange.port = m_port.portName();
    m_text.reset();
    m_reply = {};
    return exchange;
}

void ExchangeEngine::complete(std::string_view after)
{
    Exchange outcome = exchange();
    // A reply without its text's form after a text that went unanswered is most likely that one's.
    if (outcome.misfit && m_unansweredSentAt)
        noteLateness(m_clock() - *m_unansweredSentAt);
    m_unansweredSentAt = outcome.answered ? std::nullopt : std::optional(m_sentAt);
    if (outcome.misfit) {
        m_port.ignored(outcome.reply, "does not have the form of a reply to \"" + outcome.sent + "\"");
        rest(State::Settling, quiet());
    } else if (!outcome.answered) {
        rest(State::Late, quiet());
    } else {
        settle();
    }
    drop(after);
    std::exchange(m_done, {})(std::move(outcome));
}

void ExchangeEngine::drop(std::string_view bytes)
{
    if (bytes.empty())
        return;
    m_droppedBytes += bytes.size();
    const bool late = m_state == State::Late;
    m_port.ignored(std::string(bytes), late ? "came after its wait" : "answers no text");
    const std::size_t end = bytes.find('\r');
    if (late && end != std::string_view::npos)
        noteLateness(m_clock() - m_sentAt);
    // The late reply has ended with nothing after it: the line rests the gap as after any reply.
    if (late && end + 1 == bytes.size())
        settle();
    else
        rest(late && end == std::string_view::npos ? State::Late : State::Settling, quiet());
}

void ExchangeEngine::noteLateness(std::chrono::nanoseconds late)
{
    m_slowest = std::clamp(std::chrono::ceil<std::chrono::milliseconds>(late), m_slowest, LongestQuiet);
}

std::chrono::milliseconds ExchangeEngine::quiet() const
{
    return std::max({m_wait, SettleQuiet, m_slowest});
}

void ExchangeEngine::rest(State state, std::chrono::milliseconds period)
{
    m_state = state;
    m_timer.setEnabled(false);
    if (state == State::Free || state == State::Lent)
        return;
    m_timer.setInterval(period);
    m_timer.setEnabled(true);
}

void ExchangeEngine::settle()
{
    if (m_gap.count() > 0)
        rest(State::Gap, m_gap);
    else
        release();
}

void ExchangeEngine::release()
{
    rest(State::Free, {});
    if (m_text)
        transmit();
}

void ExchangeEngine::lend(std::function<void(const std::string &)> received)
{
    m_lentTo = std::move(received);
    m_unansweredSentAt.reset();
    rest(State::Lent, {});
}

void ExchangeEngine::pass(const std::string &bytes)
{
    try {
        m_port.Output(bytes);
    } catch (const SerialError &error) {
        if (m_onFailed)
            m_onFailed(error);
    }
}

void ExchangeEngine::takeBack()
{
    m_lentTo = {};
    rest(State::Settling, quiet());
}

std::optional<Exchange> ExchangeEngine::abandon()
{
    const bool onTheLine = m_state == State::Awaiting;
    rest(State::Free, {});
    m_lentTo = {};
    m_done = {};
    m_unansweredSentAt.reset();
    if (!m_text)
        return std::nullopt;
    // A text that never went out, or that the port refused, got nothing and took no time.
    if (!onTheLine) {
        m_reply = {};
        m_sentAt = m_clock();
    }
    return exchange();
}
