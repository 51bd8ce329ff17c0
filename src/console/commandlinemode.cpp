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
    m_wait.setOnTick([this] { complete(); });
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
    m_reply.clear();
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
    m_reply += bytes;
    const std::size_t end = m_reply.find('\r');
    if (end == std::string::npos)
        return;
    m_reply.resize(end + 1);
    complete();
}

void CommandLineMode::complete()
{
    m_wait.setEnabled(false);
    m_awaiting = false;
    const Exchange exchange = describeExchange(m_texts[m_next], m_reply, m_clock() - m_sentAt);
    m_allAnswered = m_allAnswered && exchange.answered;
    ++m_next;
    m_report(exchange);
    if (m_port.PortOpen())
        sendNext();
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
