#include "link/loggedlink.h"

#include "link/trafficline.h"

namespace {
// What a raw TCP link's log says in place of settings it never sends.
constexpr const char *ServerSpeed = "the server's own speed";
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
}

std::string LoggedLink::readAll()
{
    std::string bytes = m_inner->readAll();
    if (!bytes.empty())
        m_log.write("RX", m_portName, trafficBytes(bytes));
    return bytes;
}
