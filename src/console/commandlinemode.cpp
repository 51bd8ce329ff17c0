#include "console/commandlinemode.h"

#include "console/messagebox.h"
#include "console/startport.h"
#include "wire/framing.h"

namespace {
// CommandPrefix stays empty for the whole run.
constexpr std::string_view SendPrefix{};

// In the words of the window's message box, on one line.
std::string failureText(const SerialError &error)
{
    return error.description() + " " + errorNumberText(error.number());
}
} // namespace

CommandLineMode::CommandLineMode(SerialPort &port, Timer &wait, Clock clock, std::vector<std::string> texts,
                                 std::string settings, std::chrono::milliseconds waitPeriod, Report report,
                                 Finished finished)
    : m_port(port), m_wait(wait), m_clock(std::move(clock)), m_texts(std::move(texts)),
      m_settings(std::move(settings)), m_report(std::move(report)), m_finished(std::move(finished))
{
    m_wait.setEnabled(false);
    m_wait.setInterval(waitPeriod);
    m_wait.setOnTick([this] { moveOn(); });
    m_port.setOnComm([this] { received(); });
    m_port.setOnLost([this](const SerialError &error) {
        if (m_awaiting)
            complete();
        finish(PortFailed, failureText(error));
    });
}

void CommandLineMode::start()
{
    try {
        openStartPort(m_port, m_settings);
    } catch (const SerialError &error) {
        finish(PortFailed, failureText(error));
        return;
    }
    sendNext();
}

void CommandLineMode::sendNext()
{
    if (m_next == m_texts.size()) {
        m_port.setPortOpen(false);
        finish(m_allAnswered ? AllAnswered : NotAllAnswered, {});
        return;
    }
    m_reply = {};
    m_awaiting = true;
    m_sentAt = m_clock();
    try {
        m_port.Output(frameCommand(SendPrefix, m_texts[m_next]));
    } catch (const SerialError &error) {
        m_awaiting = false;
        finish(PortFailed, failureText(error));
        return;
    }
    m_wait.setEnabled(true);
}

void CommandLineMode::received()
{
    const std::string bytes = m_port.Input();
    // Bytes outside an exchange answer nothing that was sent; the traffic log still has them.
    if (!m_awaiting)
        return;
    m_reply.add(bytes);
    if (m_reply.complete)
        moveOn();
}

void CommandLineMode::moveOn()
{
    complete();
    if (m_reported) {
        sendNext();
        return;
    }
    // Sending on would only lose more outcomes.
    const std::string error = "the output could not be written; stopped after " + std::to_string(m_next) +
                              " of " + std::to_string(m_texts.size()) + " commands";
    m_port.setPortOpen(false);
    finish(WriteFailed, error);
}

void CommandLineMode::complete()
{
    m_wait.setEnabled(false);
    m_awaiting = false;
    const Exchange exchange = describeExchange(m_texts[m_next], std::move(m_reply), m_clock() - m_sentAt);
    m_allAnswered = m_allAnswered && exchange.answered;
    ++m_next;
    m_reported = m_report(exchange);
}

void CommandLineMode::finish(int exitCode, const std::string &error)
{
    if (m_done)
        return;
    m_done = true;
    m_wait.setEnabled(false);
    m_awaiting = false;
    // Nothing more is sent once the run has its outcome.
    m_next = m_texts.size();
    m_finished(exitCode, error);
}
