#pragma once

#include "exchange/exchange.h"
#include "link/serialport.h"
#include "link/timer.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// One text at a time on one port, as the free-form SEND sends it: the reply is taken to its first CR or
// until the wait runs out, whatever keeps arriving, and told as one Exchange. A reply without its query's
// form is no answer. No reply is ever taken for another text's: after a text that went unanswered, the
// next goes out once the late reply's CR has come or the line has been quiet long enough (see quiet()),
// and bytes that answer no text (late, past a reply's CR, or while nothing is awaited) are
// dropped and told to the traffic log, the line again having to be quiet before the next text. With a
// gap, the next text also waits that long after each reply.
class ExchangeEngine
{
public:
    // How long the line must be quiet after a text that went unanswered, or after bytes that answer no
    // text, before the next goes out; never less than the wait, nor than the slowest reply seen (up to
    // LongestQuiet), so that a projector that keeps answering late never answers the next text.
    static constexpr std::chrono::milliseconds SettleQuiet{1000};
    static constexpr std::chrono::milliseconds LongestQuiet{10000};

    using Clock = std::function<std::chrono::nanoseconds()>;
    // What came of one text.
    using Done = std::function<void(Exchange)>;

    // The timer serves the wait, the quiet and the gap, one after another.
    ExchangeEngine(SerialPort &port, Timer &timer, Clock clock, std::chrono::milliseconds wait,
                   std::chrono::milliseconds gap = std::chrono::milliseconds(0));
    ExchangeEngine(const ExchangeEngine &) = delete;
    ExchangeEngine &operator=(const ExchangeEngine &) = delete;

    // Sends the text now, or as soon as the line is free; `done` is told what came of it. One text at a
    // time: the next is given once `done` has been told.
    void send(std::string text, Done done);
    // The port could not take a text: the handler is told, and abandon() then gives the text back.
    void setOnFailed(std::function<void(const SerialError &)> handler) { m_onFailed = std::move(handler); }
    // The line is gone: the text held ends, returned rather than told to its `done`: the one on the
    // line as far as its reply came, or the one waiting to go (or refused by the port) unanswered.
    std::optional<Exchange> abandon();
    // The line is lent while no text is held: every byte that comes is given to `received`, none taken
    // for a reply, and the borrower's bytes go out by pass().
    void lend(std::function<void(const std::string &)> received);
    // The borrower's bytes, as they are; a port that cannot take them is told as a text's would be.
    void pass(const std::string &bytes);
    // The line is back: the next text waits until it has been quiet, so that no reply the borrower asked
    // for is taken for it.
    void takeBack();
    // Bytes that answered no text, dropped so far.
    std::size_t droppedBytes() const { return m_droppedBytes; }

private:
    // Late: a text went unanswered and its reply may still come. Settling: the line must be quiet.
    enum class State { Free, Awaiting, Late, Settling, Gap, Lent };

    void transmit();
    void received();
    void tick();
    Exchange exchange();
    // A reply came (or the wait ran out), perhaps with bytes past its CR: the line rests for the gap, or
    // waits for the late reply or for quiet.
    void complete(std::string_view after);
    // Bytes that answer no text: dropped, and the line must be quiet, or a late reply has ended.
    void drop(std::string_view bytes);
    void rest(State state, std::chrono::milliseconds period);
    // The line may take the next text once it has rested the gap.
    void settle();
    // A reply's CR came `late` after its text went out: the quiet grows to cover as much.
    void noteLateness(std::chrono::nanoseconds late);
    // SettleQuiet, one wait, or the slowest reply seen, whichever is longest.
    std::chrono::milliseconds quiet() const;
    void release();

    SerialPort &m_port;
    Timer &m_timer;
    Clock m_clock;
    std::chrono::milliseconds m_wait;
    std::chrono::milliseconds m_gap;
    std::function<void(const SerialError &)> m_onFailed;
    std::function<void(const std::string &)> m_lentTo;
    State m_state = State::Free;
    // The text on the line, or waiting to go while the line rests.
    std::optional<std::string> m_text;
    Done m_done;
    Reply m_reply;
    std::chrono::nanoseconds m_sentAt{0};
    // When the last text went out, if it went unanswered: its reply may still come.
    std::optional<std::chrono::nanoseconds> m_unansweredSentAt;
    // The slowest reply seen, late ones included.
    std::chrono::milliseconds m_slowest{0};
    std::size_t m_droppedBytes = 0;
};
