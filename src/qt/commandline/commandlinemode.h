#pragma once

#include "console/exchange.h"
#include "link/serialport.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// The command-line mode: opens COM1 as start-up does, sends each text as the free-form SEND would, and
// sends the next only when the reply has reached its CR or the wait has run out.
class CommandLineMode : public QObject
{
public:
    static constexpr int AllAnswered = 0;
    static constexpr int NotAllAnswered = 1;
    static constexpr int PortFailed = 3;

    using Report = std::function<void(const Exchange &)>;
    // The exit code, and the one line for stderr when the port failed.
    using Finished = std::function<void(int exitCode, const std::string &error)>;

    CommandLineMode(SerialPort &port, std::vector<std::string> texts, std::string settings,
                    std::chrono::milliseconds wait, Report report, Finished finished);

    // Opens the port and sends the first text; the rest follows on the event loop.
    void start();

private:
    void sendNext();
    void received();
    void complete();
    void finish(int exitCode, const std::string &error);

    SerialPort &m_port;
    std::vector<std::string> m_texts;
    std::string m_settings;
    Report m_report;
    Finished m_finished;
    std::size_t m_next = 0;
    bool m_awaiting = false;
    bool m_allAnswered = true;
    bool m_done = false;
    std::string m_reply;
    QElapsedTimer m_sentAt;
    QTimer m_wait;
};
