#include "link/loggedlink.h"

#include "link/trafficline.h"
#include "wire/framing.h"
#include "wire/statusdecoding.h"
#include "wire/statusqueries.h"
#include "wire/trace.h"

#include <array>
#include <cstdio>
#include <utility>

namespace {
// What a raw TCP link's log says in place of settings it never sends.
constexpr const char *ServerSpeed = "the server's own speed";
constexpr char ReplyEnd = '\r';
// A status reply is under 64 bytes: one that runs longer without its CR is no status reply.
constexpr std::size_t StatusReplyLimit = TrafficByteLimit;

struct ValueUnit
{
    std::string_view query;
    std::string_view unit;
};
constexpr std::array<ValueUnit, 3> ValueUnits = {{
    {StatusQuery::LampHours, "h"},
    {StatusQuery::Temperatures, "°C"},
    {StatusQuery::Pressure, "hPa"},
}};

std::string number(double value)
{
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%g", value);
    return text.data();
}

// What a status reply means, as the log shows it: a name or text, or numbers and their unit; nothing
// when no table or reading knows the reply. query is framed, its CR last.
std::string valueText(std::string_view query, const StatusValue &value)
{
    std::string text;
    if (const auto *name = std::get_if<std::string>(&value))
        return *name;
    if (const auto *single = std::get_if<double>(&value))
        text = number(*single);
    if (const auto *several = std::get_if<std::vector<double>>(&value)) {
        for (const double each : *several)
            text.append(text.empty() ? "" : " ").append(number(each));
    }
    for (const ValueUnit &row : ValueUnits) {
        if (query == frameCommand({}, row.query) && !text.empty())
            text.append(" ").append(row.unit);
    }
    return text;
}
} // namespace

LoggedLink::LoggedLink(std::unique_ptr<ByteLink> inner, TrafficLog &log, std::string portName)
    : m_inner(std::move(inner)), m_log(log), m_portName(std::move(portName))
{
    m_inner->setOnArrived([this] { raiseArrived(); });
    // Stamped when the bytes go on the line, not when they were queued for a connection or a protocol.
    m_inner->setOnSent([this](const std::string &bytes) {
        m_log.write("TX", m_portName, trafficBytes(bytes));
        raiseSent(bytes);
    });
    m_inner->setOnOpened([this] {
        logOpened();
        raiseOpened();
    });
    m_inner->setOnOpenFailed([this](const SerialError &error) {
        m_log.write("FAIL", m_portName, error.description());
        raiseOpenFailed(error);
    });
    m_inner->setOnLost([this](const SerialError &error) {
        m_log.write("LOST", m_portName, error.description());
        raiseLost(error);
    });
    m_inner->setOnNotice([this](const std::string &text) {
        m_log.write("NOTE", m_portName, text);
        raiseNotice(text);
    });
}

void LoggedLink::open(const LineSettings &line)
{
    m_line = line;
    try {
        m_inner->open(line);
    } catch (const SerialError &error) {
        m_log.write("FAIL", m_portName, error.description());
        throw;
    }
    if (!m_inner->connecting())
        logOpened();
}

void LoggedLink::logOpened()
{
    m_log.write("OPEN", m_portName, m_inner->appliesLineSettings() ? settingsString(m_line) : ServerSpeed);
}

void LoggedLink::close()
{
    const bool wasOpen = m_inner->isOpen();
    m_inner->close();
    if (wasOpen)
        m_log.write("CLOSE", m_portName, {});
}

void LoggedLink::setLineSettings(const LineSettings &line)
{
    m_inner->setLineSettings(line);
    const std::string settings = settingsString(line);
    m_log.write("SETTINGS", m_portName,
                m_inner->appliesLineSettings() ? settings
                                               : settings + " not sent: " + ServerSpeed + " applies");
}

void LoggedLink::write(const std::string &bytes)
{
    m_inner->write(bytes);
    m_query.reset();
    m_reply.clear();
    if (isStatusQuery(bytes))
        m_query = bytes;
}

std::string LoggedLink::readAll()
{
    std::string bytes = m_inner->readAll();
    if (!bytes.empty())
        m_log.write("RX", m_portName, trafficBytes(bytes) + valueOfReply(bytes));
    return bytes;
}

std::string LoggedLink::valueOfReply(const std::string &bytes)
{
    if (!m_query)
        return {};
    const std::size_t end = bytes.find(ReplyEnd);
    m_reply.append(bytes, 0, end == std::string::npos ? bytes.size() : end + 1);
    if (end == std::string::npos) {
        if (m_reply.size() > StatusReplyLimit)
            m_query.reset();
        return {};
    }
    const std::string query = *std::exchange(m_query, std::nullopt);
    // A reply without the query's form means nothing for it: the exchange takes it for no answer.
    const std::string trace = renderTrace(m_reply);
    if (!fitsReplyForm(query, m_reply, trace))
        return {};
    const std::string text = valueText(query, decodeValue(query, m_reply, trace));
    return text.empty() ? std::string() : " = " + text;
}
