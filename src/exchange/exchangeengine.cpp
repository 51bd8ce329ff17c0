#include "exchange/exchangeengine.h"

#include "wire/framing.h"

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
        m_text.reset();
        m_done = {};
        if (m_onFailed)
            m_onFailed(error);
        return;
    }
    m_state = State::Awaiting;
    m_timer.setInterval(m_wait);
    m_timer.setEnabled(true);
}

void ExchangeEngine::received()
{
    const std::string bytes = m_port.Input();
    if (m_state == State::Awaiting) {
        m_reply.add(bytes);
        if (m_reply.complete)
            complete();
        return;
    }
    if (m_state != State::Late)
        return;
    // Bytes past the late reply's CR answer nothing that was sent.
    const std::size_t end = bytes.find('\r');
    m_lateBytes += end == std::string::npos ? bytes.size() : end + 1;
    if (end != std::string::npos)
        m_gap.count() > 0 ? rest(State::Gap, m_gap) : release();
}

void ExchangeEngine::tick()
{
    switch (m_state) {
    case State::Awaiting:
        m_port.noReply(frameCommand(EmptyCommandPrefix, *m_text), m_wait);
        complete();
        return;
    case State::Late:
    case State::Gap:
        release();
        return;
    case State::Free:
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

void ExchangeEngine::complete()
{
    Exchange outcome = exchange();
    if (!outcome.answered)
        rest(State::Late, m_wait);
    else if (m_gap.count() > 0)
        rest(State::Gap, m_gap);
    else
        rest(State::Free, {});
    std::exchange(m_done, {})(std::move(outcome));
}

void ExchangeEngine::rest(State state, std::chrono::milliseconds period)
{
    m_state = state;
    m_timer.setEnabled(false);
    if (state == State::Free)
        return;
    m_timer.setInterval(period);
    m_timer.setEnabled(true);
}

void ExchangeEngine::release()
{
    rest(State::Free, {});
    if (m_text)
        transmit();
}

std::optional<Exchange> ExchangeEngine::abandon()
{
    const bool onTheLine = m_state == State::Awaiting;
    rest(State::Free, {});
    m_done = {};
    if (!onTheLine) {
        m_text.reset();
        return std::nullopt;
    }
    return exchange();
}
