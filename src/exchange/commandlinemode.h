#pragma once

#include "exchange/commandsource.h"
#include "exchange/exchangeengine.h"
#include "exchange/exitcode.h"
#include "link/serialport.h"

#include <functional>
#include <string>

// The command-line mode: opens COM1 as start-up does, and sends each text through the exchange engine,
// the next once the last one's exchange is over. The texts come from a source that may deliver them over
// time; the run ends when the source does, after the last reply.
class CommandLineMode
{
public:
    // Prints one exchange; false when the output could not be written.
    using Report = std::function<bool(const Exchange &)>;
    // How the run ended, and the one line for stderr when the port failed or the output could not be
    // written.
    using Finished = std::function<void(ExitCode, const std::string &error)>;

    CommandLineMode(SerialPort &port, ExchangeEngine &engine, CommandSource &texts, std::string settings,
                    Report report, Finished finished);
    CommandLineMode(const CommandLineMode &) = delete;
    CommandLineMode &operator=(const CommandLineMode &) = delete;

    // Opens the port and sends the first text; the rest follows as the replies come.
    void start();

private:
    void sendNext();
    void textReady();
    // The exchange is over: reported, and the next text goes out unless the report was lost.
    void moveOn(const Exchange &exchange);
    // Counted for the exit code, and printed; false when the output could not be written.
    bool tally(const Exchange &exchange);
    // The port refused a text or the line was lost: the run ends.
    void lineFailed(const SerialError &error);
    void finish(ExitCode exitCode, const std::string &error);

    SerialPort &m_port;
    ExchangeEngine &m_engine;
    CommandSource &m_texts;
    std::string m_settings;
    Report m_report;
    Finished m_finished;
    std::size_t m_sent = 0;
    // Open, with no text ready to send: the next that comes goes out.
    bool m_idle = false;
    bool m_allAnswered = true;
    bool m_someRefused = false;
    bool m_done = false;
};
