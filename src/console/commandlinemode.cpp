#include "console/commandlinemode.h"

#include "console/messagebox.h"
#include "console/startport.h"
#include "wire/framing.h"

namespace {
// CommandPrefix stays empty for the whole run.
constexpr std::string_view SendPrefix{};
} // namespace

std::string CommandLineMode::failureText(const SerialError &error)
{
    return error.description() + " " + errorNumberText(error.number());
}

CommandLineMode::CommandLineMode(SerialPort &port, Timer &wait, Clock clock, CommandSource &texts,
                                 std::string settings, std::chrono::milliseconds waitPeriod, Report report,
                                 Finished finished)
    : m_port(port), m_wait(wait), m_clock(std::move(clock)), m_texts(texts), m_settings(std::move(settings)),
      m_report(std::move(report)), m_finished(std::move(finished))
{
    m_wait.setEnabled(false);
    m_wait.setInterval(waitPeriod);
    m_wait.setOnTick([this] { moveOn(); });
    m_texts.setOnReady([this] { textReady(); });
    m_port.setOnComm([this] { received(); });
    m_port.setOnOpened([this] { sendNext(); });
    m_port.setOnOpenFailed([this](const SerialError &error) { finish(PortFailed, failureText(error)); });
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
    // The first text, and its wait, start once a server has answered.
    if (!m_port.connecting())
        sendNext();
}

void CommandLineMode::sendNext()
{
    std::optional<std::string> text = m_texts.take();
    if (!text) {
        m_idle = !m_texts.ended();
        if (m_idle)
            return;
        m_port.setPortOpen(false);
        if (m_texts.failure())
            finish(ScriptFailed, *m_texts.failure());
        else
            finish(m_someRefused ? SomeRefused : m_allAnswered ? AllAnswered : NotAllAnswered, {});
        return;
    }
    m_sending = std::move(*text);
    m_reply = {};
    m_awaiting = true;
    m_sentAt = m_clock();
    try {
        m_port.Output(frameCommand(SendPrefix, m_sending));
    } catch (const SerialError &error) {
        m_awaiting = false;
        finish(PortFailed, failureText(error));
        return;
    }
    m_wait.setEnabled(true);
}

void CommandLineMode::textReady()
{
    if (!m_idle || m_done)
        return;
    m_idle = false;
    sendNext();
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
    // How many there were in all is known only once the source has ended.
    const std::string error =
        "the output could not be written; stopped after " + std::to_string(m_sent) +
        (m_texts.closed() ? " of " + std::to_string(m_sent + m_texts.waiting()) : std::string()) +
        " commands";
    m_port.setPortOpen(false);
    finish(WriteFailed, error);
}

void CommandLineMode::complete()
{
    m_wait.setEnabled(false);
    m_awaiting = false;
    Exchange exchange = describeExchange(std::move(m_sending), std::move(m_reply), m_clock() - m_sentAt);
    exchange.port = m_port.portName();
    m_allAnswered = m_allAnswered && exchange.answered;
    m_someRefused = m_someRefused || exchange.refused;
    ++m_sent;
    m_reported = m_report(exchange);
}

void CommandLineMode::finish(int exitCode, const std::string &error)
{
    if (m_done)
        return;
    m_done = true;
    m_wait.setEnabled(false);
    m_awaiting = false;
    m_idle = false;
    m_finished(exitCode, error);
}
