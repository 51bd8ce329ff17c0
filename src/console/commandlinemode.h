#pragma once

#include "console/exchange.h"
#include "console/timer.h"
#include "link/serialport.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// The command-line mode: opens COM1 as start-up does, sends each text as the free-form SEND would, and
// sends the next only when the reply has reached its CR or the wait has run out. The wait is a deadline
// from the send: bytes that keep arriving without a CR do not hold the run.
class CommandLineMode
{
public:
    static constexpr int AllAnswered = 0;
    static constexpr int NotAllAnswered = 1;
    static constexpr int PortFailed = 3;
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
    CommandLineMode(SerialPort &port, Timer &wait, Clock clock, std::vector<std::string> texts,
                    std::string settings, std::chrono::milliseconds waitPeriod, Report report,
                    Finished finished);
    CommandLineMode(const CommandLineMode &) = delete;
    CommandLineMode &operator=(const CommandLineMode &) = delete;

    // Opens the port and sends the first text; the rest follows as the replies come.
    void start();

private:
    void sendNext();
    void received();
    // The exchange is over: reported, and the next text goes out unless the report was lost.
    void moveOn();
    void complete();
    void finish(int exitCode, const std::string &error);

    SerialPort &m_port;
    Timer &m_wait;
    Clock m_clock;
    std::vector<std::string> m_texts;
    std::string m_settings;
    Report m_report;
    Finished m_finished;
    std::size_t m_next = 0;
    bool m_awaiting = false;
    bool m_allAnswered = true;
    bool m_reported = true;
    bool m_done = false;
    Reply m_reply;
    std::chrono::nanoseconds m_sentAt{0};
};
