#include "exchange/commandlinemode.h"

#include "link/startport.h"

CommandLineMode::CommandLineMode(SerialPort &port, ExchangeEngine &engine, CommandSource &texts,
                                 std::string settings, Report report, Finished finished)
    : m_port(port), m_engine(engine), m_texts(texts), m_settings(std::move(settings)),
      m_report(std::move(report)), m_finished(std::move(finished))
{
    m_texts.setOnReady([this] { textReady(); });
    m_engine.setOnFailed([this](const SerialError &error) { lineFailed(error); });
    m_port.setOnOpened([this] { sendNext(); });
    m_port.setOnOpenFailed(
        [this](const SerialError &error) { finish(ExitCode::PortFailed, portFailureText(error)); });
    m_port.setOnLost([this](const SerialError &error) { lineFailed(error); });
}

void CommandLineMode::lineFailed(const SerialError &error)
{
    // The text the engine held is reported, whether it was on the line, waiting, or refused by the port.
    if (const std::optional<Exchange> held = m_engine.abandon())
        tally(*held);
    finish(ExitCode::PortFailed, portFailureText(error));
}

void CommandLineMode::start()
{
    try {
        openStartPort(m_port, m_settings);
    } catch (const SerialError &error) {
        finish(ExitCode::PortFailed, portFailureText(error));
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
            finish(ExitCode::BadInput, *m_texts.failure());
        else
            finish(m_someRefused   ? ExitCode::SomeRefused
                   : m_allAnswered ? ExitCode::AllAnswered
                                   : ExitCode::NotAllAnswered,
                   {});
        return;
    }
    m_engine.send(std::move(*text), [this](const Exchange &exchange) { moveOn(exchange); });
}

void CommandLineMode::textReady()
{
    if (!m_idle || m_done)
        return;
    m_idle = false;
    sendNext();
}

void CommandLineMode::moveOn(const Exchange &exchange)
{
    if (tally(exchange)) {
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
    finish(ExitCode::WriteFailed, error);
}

bool CommandLineMode::tally(const Exchange &exchange)
{
    m_allAnswered = m_allAnswered && exchange.answered;
    m_someRefused = m_someRefused || exchange.refused;
    ++m_sent;
    return m_report(exchange);
}

void CommandLineMode::finish(ExitCode exitCode, const std::string &error)
{
    if (m_done)
        return;
    m_done = true;
    m_idle = false;
    m_engine.abandon();
    m_finished(exitCode, error);
}
