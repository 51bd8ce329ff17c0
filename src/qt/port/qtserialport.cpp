#include "qt/port/qtserialport.h"

#include "link/linesettings.h"
#include "link/loggedlink.h"
#include "qt/links/makelink.h"
#include "qt/links/portlist.h"
#include "wire/trace.h"

#include <utility>

namespace {
// Before any adapter is found by itself: the PC's own first two ports.
const std::string DefaultDevices[] = {"/dev/ttyS0", "/dev/ttyS1"};
} // namespace

QtSerialPort::QtSerialPort(const Endpoint &com1, const Endpoint &com2, QObject *parent)
    : QObject(parent), m_endpoints{com1, com2}, m_shownNames{com1.text, com2.text}
{
}

QtSerialPort::~QtSerialPort() = default;

template <class Call> auto QtSerialPort::callLink(Call &&call)
{
    try {
        return call();
    } catch (const SerialError &error) {
        fail(error);
    }
}

std::string QtSerialPort::portName() const
{
    const std::string name = m_name.empty() ? "COM" + std::to_string(m_commPort) : m_name;
    return name + " (" + m_shownNames[m_commPort - 1] + ")";
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
    // Kept for the next open even when the open link refuses them.
    tellChanged();
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

template <class Notify> void QtSerialPort::tellLater(unsigned generation, Notify &&notify)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, notify = std::forward<Notify>(notify)] {
            if (generation == m_generation)
                notify();
        },
        Qt::QueuedConnection);
}

void QtSerialPort::replaceLink(std::unique_ptr<ByteLink> link)
{
    // The old link goes at once: no call of its own can be on the stack, since what it raises reaches the
    // handlers from the event loop.
    m_link = std::move(link);
    const unsigned generation = ++m_generation;
    m_arrived.clear();
    m_arrivalWaiting = false;
    m_lossWaiting = false;
    ByteLink &raising = *m_link;
    raising.setOnArrived([this, generation, &raising] {
        m_arrived += raising.readAll();
        if (std::exchange(m_arrivalWaiting, true))
            return;
        tellLater(generation, [this] {
            m_arrivalWaiting = false;
            m_event = ReceiveEvent;
            raiseOnComm();
        });
    });
    raising.setOnNotice([this, generation](const std::string &text) {
        tellLater(generation, [this, told = portName() + ": " + text] { raiseNotice(told); });
    });
    raising.setOnOpened([this, generation] {
        tellLater(generation, [this] {
            tellChanged();
            raiseOpened();
        });
    });
    // A failed connection and a loss alike close the line before the handlers hear of it.
    const auto failure = [this, generation](auto raise) {
        return [this, generation, raise](const SerialError &error) {
            const SerialError told(error.number(), portName() + ": " + error.description());
            m_lossWaiting = true;
            tellLater(generation, [this, told, raise] {
                m_lossWaiting = false;
                tellChanged();
                raise(told);
            });
        };
    };
    raising.setOnOpenFailed(failure([this](const SerialError &told) { raiseOpenFailed(told); }));
    raising.setOnLost(failure([this](const SerialError &told) { raiseLost(told); }));
}

void QtSerialPort::setPortOpen(bool open)
{
    if (open == PortOpen())
        return;
    const LineSettings line = parseLineSettings(m_settings);
    try {
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
    } catch (const SerialError &) {
        // A failed open leaves the port closed, and an auto port perhaps with a new device.
        tellChanged();
        throw;
    }
    tellChanged();
}

void QtSerialPort::Output(const std::string &bytes)
{
    // Commands sent before the handlers hear of the loss go where a write that finds the line gone sends
    // its own: nowhere, leaving the loss the one thing the operator is told.
    if (m_lossWaiting)
        return;
    if (!PortOpen())
        fail(SerialError(SerialError::PortNotOpen, "port is not open"));
    callLink([&] { m_link->write(bytes); });
}

std::string QtSerialPort::Input()
{
    std::string bytes = std::exchange(m_arrived, {});
    if (PortOpen())
        bytes += callLink([&] { return m_link->readAll(); });
    return bytes;
}

void QtSerialPort::noReply(const std::string &command, std::chrono::milliseconds waited)
{
    if (m_log)
        m_log->write("NOREPLY", portName(),
                     "to \"" + renderTrace(command) + "\" within " + std::to_string(waited.count()) + " ms");
}

void QtSerialPort::ignored(const std::string &bytes, const std::string &why)
{
    if (!m_log)
        return;
    // Appended, not prepended: GCC's Release build takes a prepend for an overlapping copy.
    std::string quoted = "\"";
    quoted.append(renderTrace(bytes)).append("\" ").append(why);
    m_log->write("IGNORED", portName(), quoted);
}
