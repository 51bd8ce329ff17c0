#include "link/loggedlink.h"

#include "link/trafficline.h"

LoggedLink::LoggedLink(std::unique_ptr<ByteLink> inner, TrafficLog &log, std::string portName)
    : m_inner(std::move(inner)), m_log(log), m_portName(std::move(portName))
{
    m_inner->setOnArrived([this] { raiseArrived(); });
    m_inner->setOnLost([this](const SerialError &error) {
        m_log.write("LOST", m_portName, error.description());
        raiseLost(error);
    });
}

void LoggedLink::open(const LineSettings &line)
{
    try {
        m_inner->open(line);
    } catch (const SerialError &error) {
        m_log.write("FAIL", m_portName, error.description());
        throw;
    }
    m_log.write("OPEN", m_portName, settingsString(line));
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
    m_log.write("SETTINGS", m_portName, settingsString(line));
}

void LoggedLink::write(const std::string &bytes)
{
    m_inner->write(bytes);
    m_log.write("TX", m_portName, trafficBytes(bytes));
}

std::string LoggedLink::readAll()
{
    std::string bytes = m_inner->readAll();
    if (!bytes.empty())
        m_log.write("RX", m_portName, trafficBytes(bytes));
    return bytes;
}
