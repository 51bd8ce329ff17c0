#pragma once

#include "exchange/exchange.h"
#include "link/serialport.h"
#include "link/timer.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

// One text at a time on one port, as the free-form SEND sends it: the reply is taken to its first CR or
// until the wait runs out, whatever keeps arriving, and told as one Exchange. A reply that comes after
// its wait belongs to the text that timed out, never to the next: the next text goes out once that late
// reply's CR has come or one more wait has passed, and the late bytes are dropped (the traffic log has
// them). With a gap, the next text also waits that long after each reply.
class ExchangeEngine
{
public:
    using Clock = std::function<std::chrono::nanoseconds()>;
    // What came of one text.
    using Done = std::function<void(Exchange)>;

    // The timer serves the wait, the late reply's wait and the gap, one after another.
    ExchangeEngine(SerialPort &port, Timer &timer, Clock clock, std::chrono::milliseconds wait,
                   std::chrono::milliseconds gap = std::chrono::milliseconds(0));
    ExchangeEngine(const ExchangeEngine &) = delete;
    ExchangeEngine &operator=(const ExchangeEngine &) = delete;

    // Sends the text now, or as soon as the line is free; `done` is told what came of it. One text at a
    // time: the next is given once `done` has been told.
    void send(std::string text, Done done);
    // The port could not take a text; no `done` is told for it.
    void setOnFailed(std::function<void(const SerialError &)> handler) { m_onFailed = std::move(handler); }
    // The line is gone: the text waiting to go is dropped, and the exchange on the line ends as far as
    // its reply came, returned rather than told.
    std::optional<Exchange> abandon();
    // Bytes of late replies dropped so far.
    std::size_t lateBytes() const { return m_lateBytes; }

private:
    enum class State { Free, Awaiting, Late, Gap };

    void transmit();
    void received();
    void tick();
    Exchange exchange();
    // A reply came (or the wait ran out): the line rests for the gap, or waits for the late reply.
    void complete();
    void rest(State state, std::chrono::milliseconds period);
    void release();

    SerialPort &m_port;
    Timer &m_timer;
    Clock m_clock;
    std::chrono::milliseconds m_wait;
    std::chrono::milliseconds m_gap;
    std::function<void(const SerialError &)> m_onFailed;
    State m_state = State::Free;
    // The text on the line, or waiting to go while the line rests.
    std::optional<std::string> m_text;
    Done m_done;
    Reply m_reply;
    std::chrono::nanoseconds m_sentAt{0};
    std::size_t m_lateBytes = 0;
};
