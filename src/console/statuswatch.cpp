#include "console/statuswatch.h"

#include "console/commandlinemode.h"
#include "console/startport.h"
#include "wire/framing.h"

#include <algorithm>

namespace {
// CommandPrefix stays empty for the whole watch.
constexpr std::string_view QueryPrefix{};
constexpr int PauseGrowth = 2;
} // namespace

StatusWatch::StatusWatch(SerialPort &port, Timer &round, Timer &wait, Timer &reopen, Clock clock,
                         std::vector<std::string> queries, std::string settings,
                         std::chrono::milliseconds period, std::chrono::milliseconds waitPeriod,
                         Report report, Notice notice, Finished finished)
    : m_port(port), m_round(round), m_wait(wait), m_reopen(reopen), m_clock(std::move(clock)),
      m_queries(std::move(queries)), m_settings(std::move(settings)), m_report(std::move(report)),
      m_notice(std::move(notice)), m_finished(std::move(finished)), m_asking(m_queries.size())
{
    for (Timer *timer : {&m_round, &m_wait, &m_reopen})
        timer->setEnabled(false);
    m_round.setInterval(period);
    m_round.setOnTick([this] { beginRound(); });
    m_wait.setInterval(waitPeriod);
    m_wait.setOnTick([this] { answered(); });
    m_reopen.setOnTick([this] { tryReopen(); });
    m_port.setOnComm([this] { received(); });
    m_port.setOnOpened([this] { opened(); });
    m_port.setOnOpenFailed([this](const SerialError &error) { openFailed(error); });
    m_port.setOnLost([this](const SerialError &error) { lost(CommandLineMode::failureText(error)); });
}

void StatusWatch::start()
{
    try {
        openStartPort(m_port, m_settings);
    } catch (const SerialError &error) {
        finish(CommandLineMode::PortFailed, CommandLineMode::failureText(error));
        return;
    }
    if (!m_port.connecting())
        opened();
}

void StatusWatch::opened()
{
    // Reopening after a loss: the line is back.
    if (m_reopen.enabled()) {
        m_reopen.setEnabled(false);
        m_notice(m_port.portName() + " is back");
    }
    m_round.setEnabled(true);
    beginRound();
}

void StatusWatch::openFailed(const SerialError &error)
{
    if (m_reopen.enabled())
        growPause();
    else
        finish(CommandLineMode::PortFailed, CommandLineMode::failureText(error));
}

void StatusWatch::growPause()
{
    m_pause = std::min<std::chrono::milliseconds>(m_pause * PauseGrowth, LongestReopenPause);
    m_reopen.setInterval(m_pause);
}

void StatusWatch::stop()
{
    if (m_port.PortOpen())
        m_port.setPortOpen(false);
    finish(CommandLineMode::AllAnswered, {});
}

void StatusWatch::beginRound()
{
    // A round still asking when the next is due lets it go: the line sets the pace.
    if (m_asking < m_queries.size() || !m_port.PortOpen())
        return;
    m_asking = 0;
    askNext();
}

void StatusWatch::askNext()
{
    if (m_asking == m_queries.size())
        return;
    m_reply = {};
    m_sentAt = m_clock();
    try {
        m_port.Output(frameCommand(QueryPrefix, m_queries[m_asking]));
    } catch (const SerialError &error) {
        m_port.setPortOpen(false);
        lost(CommandLineMode::failureText(error));
        return;
    }
    m_wait.setEnabled(true);
}

void StatusWatch::received()
{
    const std::string bytes = m_port.Input();
    if (m_asking == m_queries.size())
        return;
    m_reply.add(bytes);
    if (m_reply.complete)
        answered();
}

void StatusWatch::answered()
{
    m_wait.setEnabled(false);
    const std::string &query = m_queries[m_asking];
    Exchange exchange = describeExchange(query, std::move(m_reply), m_clock() - m_sentAt);
    exchange.port = m_port.portName();
    std::pair<bool, std::string> seen{exchange.answered, exchange.reply};
    const auto last = m_last.find(query);
    const bool changed = last == m_last.end() || last->second != seen;
    m_last[query] = std::move(seen);
    ++m_asking;
    if (changed && !m_report(exchange)) {
        m_port.setPortOpen(false);
        finish(CommandLineMode::WriteFailed, "the output could not be written; the watch stopped");
        return;
    }
    askNext();
}

void StatusWatch::lost(const std::string &why)
{
    m_wait.setEnabled(false);
    m_round.setEnabled(false);
    m_asking = m_queries.size();
    m_notice(why + "; opening it again every " + std::to_string(FirstReopenPause.count()) + " to " +
             std::to_string(LongestReopenPause.count()) + " s");
    m_pause = FirstReopenPause;
    m_reopen.setInterval(m_pause);
    m_reopen.setEnabled(true);
}

void StatusWatch::tryReopen()
{
    // The attempt before is still waiting for its server.
    if (m_port.connecting())
        return;
    try {
        openStartPort(m_port, m_settings);
    } catch (const SerialError &) {
        growPause();
        return;
    }
    if (!m_port.connecting())
        opened();
}

void StatusWatch::finish(int exitCode, const std::string &error)
{
    if (m_done)
        return;
    m_done = true;
    for (Timer *timer : {&m_round, &m_wait, &m_reopen})
        timer->setEnabled(false);
    m_asking = m_queries.size();
    m_finished(exitCode, error);
}
