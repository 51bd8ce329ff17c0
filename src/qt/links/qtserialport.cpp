#include "qt/links/qtserialport.h"

#include "link/linesettings.h"
#include "link/loggedlink.h"
#include "qt/links/makelink.h"
#include "qt/links/portlist.h"

namespace {
// Before any adapter is found by itself: the PC's own first two ports.
const std::string DefaultDevices[] = {"/dev/ttyS0", "/dev/ttyS1"};
} // namespace

QtSerialPort::QtSerialPort(const Endpoint &com1, const Endpoint &com2, QObject *parent)
    : QObject(parent), m_endpoints{com1, com2}, m_shownNames{com1.text, com2.text}
{
}

QtSerialPort::~QtSerialPort() = default;

template <class Call> auto QtSerialPort::withLink(Call &&call)
{
    struct Scope
    {
        QtSerialPort &port;
        explicit Scope(QtSerialPort &p) : port(p) { ++port.m_linkCalls; }
        ~Scope()
        {
            if (--port.m_linkCalls == 0)
                port.m_retired.clear();
        }
    } scope(*this);
    return call();
}

template <class Call> auto QtSerialPort::callLink(Call &&call)
{
    return withLink([&] {
        try {
            return call();
        } catch (const SerialError &error) {
            fail(error);
        }
    });
}

std::string QtSerialPort::portName() const
{
    return "COM" + std::to_string(m_commPort) + " (" + m_shownNames[m_commPort - 1] + ")";
}

void QtSerialPort::fail(const SerialError &error) const
{
    throw SerialError(error.number(), portName() + ": " + error.description());
}

void QtSerialPort::setCommPort(int port)
{
    if (port != 1 && port != 2)
        throw SerialError(SerialError::BadPortNumber,
                          "COM" + std::to_string(port) + ": there is no such port");
    m_commPort = port;
}

void QtSerialPort::setSettings(const std::string &settings)
{
    const LineSettings line = parseLineSettings(settings);
    m_settings = settings;
    if (PortOpen())
        callLink([&] { m_link->setLineSettings(line); });
}

Endpoint QtSerialPort::linkEndpoint()
{
    const Endpoint &named = m_endpoints[m_commPort - 1];
    if (named.kind != Endpoint::Kind::Auto)
        return named;
    Endpoint chosen;
    chosen.kind = Endpoint::Kind::Device;
    // Chosen again at every open, so that an adapter plugged back in under a new name is found.
    chosen.device = chooseAutoDevice(availablePorts(), m_commPort, DefaultDevices[m_commPort - 1]);
    chosen.text = chosen.device;
    m_shownNames[m_commPort - 1] = chosen.device;
    return chosen;
}

void QtSerialPort::replaceLink(std::unique_ptr<ByteLink> link)
{
    if (m_link)
        m_retired.push_back(std::move(m_link));
    m_link = std::move(link);
    m_link->setOnArrived([this] {
        withLink([this] {
            m_event = ReceiveEvent;
            raiseOnComm();
        });
    });
    m_link->setOnLost([this](const SerialError &error) {
        const SerialError told(error.number(), portName() + ": " + error.description());
        withLink([&] { raiseLost(told); });
    });
}

void QtSerialPort::setPortOpen(bool open)
{
    if (open == PortOpen())
        return;
    const LineSettings line = parseLineSettings(m_settings);
    callLink([&] {
        if (!open) {
            m_link->close();
            return;
        }
        std::unique_ptr<ByteLink> link = makeLink(linkEndpoint());
        if (m_log)
            link = std::make_unique<LoggedLink>(std::move(link), *m_log, portName());
        replaceLink(std::move(link));
        m_link->open(line);
    });
}

void QtSerialPort::Output(const std::string &bytes)
{
    if (!PortOpen())
        fail(SerialError(SerialError::PortNotOpen, "port is not open"));
    callLink([&] { m_link->write(bytes); });
}

std::string QtSerialPort::Input()
{
    return PortOpen() ? callLink([&] { return m_link->readAll(); }) : std::string();
}
