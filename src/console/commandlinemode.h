#pragma once

#include "console/exchange.h"
#include "console/timer.h"
#include "link/serialport.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// The command-line mode: opens COM1 as start-up does, sends each text as the free-form SEND would, and
// sends the next only when the reply has reached its CR or the wait has run out.
class CommandLineMode
{
public:
    static constexpr int AllAnswered = 0;
    static constexpr int NotAllAnswered = 1;
    static constexpr int PortFailed = 3;

    using Report = std::function<void(const Exchange &)>;
    // The exit code, and the one line for stderr when the port failed.
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
    bool m_done = false;
    std::string m_reply;
    std::chrono::nanoseconds m_sentAt{0};
};
