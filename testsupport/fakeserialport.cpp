#include "fakeserialport.h"

#include <utility>

std::string FakeSerialPort::portName() const
{
    return "COM" + std::to_string(m_commPort) + " (fake)";
}

void FakeSerialPort::setCommPort(int port)
{
    log.push_back("CommPort " + std::to_string(port));
    m_commPort = port;
}

void FakeSerialPort::setSettings(const std::string &settings)
{
    log.push_back("Settings " + settings);
    m_settings = settings;
}

void FakeSerialPort::setPortOpen(bool open)
{
    log.push_back(std::string("PortOpen ") + (open ? "1" : "0"));
    if (open && !m_open && failingPorts.count(m_commPort))
        throw SerialError(SerialError::NoSuchDevice, portName() + ": no such device");
    m_connecting = open && !m_open && connectingPorts.count(m_commPort);
    m_open = open;
    m_queued.clear();
}

void FakeSerialPort::Output(const std::string &bytes)
{
    if (!m_open)
        throw SerialError(SerialError::PortNotOpen, portName() + ": port is not open");
    if (refusesWrites)
        throw SerialError(SerialError::LineBusy, portName() + ": the line is not taking data");
    log.push_back("Output " + bytes);
    if (m_connecting) {
        m_queued += bytes;
        return;
    }
    written += bytes;
    writes.push_back(bytes);
}

std::string FakeSerialPort::Input()
{
    return std::exchange(m_pending, {});
}

void FakeSerialPort::deliver(const std::string &bytes)
{
    m_pending += bytes;
    m_event = ReceiveEvent;
    raiseOnComm();
}

void FakeSerialPort::raiseEvent(int code)
{
    m_event = code;
    raiseOnComm();
}

void FakeSerialPort::lose()
{
    m_open = false;
    m_connecting = false;
    raiseLost(SerialError(SerialError::LineLost, portName() + ": the connection was lost"));
}

void FakeSerialPort::connect()
{
    m_connecting = false;
    raiseOpened();
    if (!m_queued.empty()) {
        written += m_queued;
        writes.push_back(std::exchange(m_queued, {}));
    }
}

void FakeSerialPort::failConnecting(const std::string &reason)
{
    m_connecting = false;
    m_open = false;
    m_queued.clear();
    raiseOpenFailed(SerialError(SerialError::OpenFailed, portName() + ": " + reason));
}
