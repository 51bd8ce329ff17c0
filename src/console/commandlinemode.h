#pragma once

#include "console/commandsource.h"
#include "console/exchange.h"
#include "console/timer.h"
#include "link/serialport.h"

#include <chrono>
#include <functional>
#include <string>

// The command-line mode: opens COM1 as start-up does, sends each text as the free-form SEND would, and
// sends the next only when the reply has reached its CR or the wait has run out. The wait is a deadline
// from the send: bytes that keep arriving without a CR do not hold the run. The texts come from a source
// that may deliver them over time; the run ends when the source does, after the last reply.
class CommandLineMode
{
public:
    static constexpr int AllAnswered = 0;
    static constexpr int NotAllAnswered = 1;
    // The script could not be read, or had a line over its limit: bad input, as bad arguments are.
    static constexpr int ScriptFailed = 2;
    static constexpr int PortFailed = 3;
    // The projector answered "?" to at least one command; a command without a reply says less.
    static constexpr int SomeRefused = 4;
    // The output or the traffic log could not be written: the run's outcome would be lost.
    static constexpr int WriteFailed = 5;
    // What a run ends with when something could not be written: a port's failure says more, so it stands.
    static constexpr int withWriteFailure(int exitCode)
    {
        return exitCode == PortFailed ? PortFailed : WriteFailed;
    }

    // Prints one exchange; false when the output could not be written.
    using Report = std::function<bool(const Exchange &)>;
    // The exit code, and the one line for stderr when the port failed or the output could not be written.
    using Finished = std::function<void(int exitCode, const std::string &error)>;
    // A steady clock's reading, for how long each exchange took.
    using Clock = std::function<std::chrono::nanoseconds()>;

    // The wait timer runs once per exchange, for `wait`.
    CommandLineMode(SerialPort &port, Timer &wait, Clock clock, CommandSource &texts, std::string settings,
                    std::chrono::milliseconds waitPeriod, Report report, Finished finished);
    CommandLineMode(const CommandLineMode &) = delete;
    CommandLineMode &operator=(const CommandLineMode &) = delete;

    // A port's failure in the words of the window's message box, on one line.
    static std::string failureText(const SerialError &error);

    // Opens the port and sends the first text; the rest follows as the replies come.
    void start();

private:
    void sendNext();
    void textReady();
    void received();
    // The exchange is over: reported, and the next text goes out unless the report was lost.
    void moveOn();
    void complete();
    void finish(int exitCode, const std::string &error);

    SerialPort &m_port;
    Timer &m_wait;
    Clock m_clock;
    CommandSource &m_texts;
    std::string m_settings;
    Report m_report;
    Finished m_finished;
    std::string m_sending;
    std::size_t m_sent = 0;
    bool m_awaiting = false;
    // Open, with no text ready to send: the next that comes goes out.
    bool m_idle = false;
    bool m_allAnswered = true;
    bool m_someRefused = false;
    bool m_reported = true;
    bool m_done = false;
    Reply m_reply;
    std::chrono::nanoseconds m_sentAt{0};
};
