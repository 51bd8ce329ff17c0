#include "qt/links/seriallink.h"

#include "qt/links/portlist.h"
#include "qt/platform/posixdevice.h"
#include "wire/oneline.h"

#include <cstdlib>
#include <memory>

namespace {
// QSerialPort names a device in UTF-8 text. A path in other bytes (a link named in Latin-1) is reached
// by the path it resolves to, whose name in /dev is plain.
QString portNameFor(const std::string &path)
{
    if (utf8Text(path) == path)
        return QString::fromStdString(path);
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return QString::fromStdString(resolved ? std::string(resolved.get()) : path);
}

QSerialPort::Parity parityOf(char parity)
{
    switch (parity) {
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    case 'M':
        return QSerialPort::MarkParity;
    case 'S':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}
} // namespace

SerialLink::SerialLink(std::string device, QObject *parent) : QObject(parent), m_device(std::move(device))
{
    m_port.setPortName(portNameFor(m_device));
    connect(&m_port, &QSerialPort::readyRead, this, [this] { raiseArrived(); });
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLink::onError);
}

void SerialLink::open(const LineSettings &line)
{
    if (m_port.isOpen())
        return;
    // Such a port opens, and every command would go into nothing.
    if (builtInPortWithoutHardware(m_port.portName()))
        throw SerialError(SerialError::NoSuchDevice, "no such device");
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port.error();
        const QString errorText = m_port.errorString();
        m_port.clearError();
        failOpen(error, errorText);
    }
    try {
        setLineSettings(line);
    } catch (const SerialError &) {
        m_port.close();
        throw;
    }
}

void SerialLink::failOpen(QSerialPort::SerialPortError error, const QString &errorText)
{
    const std::string &path = m_device;
    if (std::optional<SerialError> fault = deviceFault(path))
        throw *fault;
    // A device that would open is held by someone: QSerialPort tells its lock file and a device held
    // exclusively as a permission error.
    if (error == QSerialPort::PermissionError) {
        const std::string holder = deviceHolder(path);
        throw SerialError(SerialError::InUse,
                          "in use by another program" + (holder.empty() ? "" : " (" + holder + ")"));
    }
    throw SerialError(SerialError::OpenFailed, "cannot be opened (" + errorText.toStdString() + ")");
}

void SerialLink::close()
{
    m_port.close();
}

void SerialLink::setLineSettings(const LineSettings &line)
{
    const bool applied =
        m_port.setBaudRate(line.baud) &&
        m_port.setDataBits(line.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8) &&
        m_port.setParity(parityOf(line.parity)) &&
        m_port.setStopBits(line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied)
        throw SerialError(SerialError::BadSettings, "the line would not take " + settingsString(line));
}

void SerialLink::write(const std::string &bytes)
{
    if (!m_port.isOpen())
        throw SerialError(SerialError::PortNotOpen, "port is not open");
    checkQueueRoom(bytesWaiting(), bytes.size());
    const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (m_port.write(data) != data.size())
        throw SerialError(SerialError::WriteFailed, "the command could not be written");
    // Out on the line now rather than at some later turn of the event loop, but only into a line with
    // room: flush() writes without waiting, and a full line's "try again" comes back from QSerialPort as
    // the ResourceError of a line that is gone. A full line takes the bytes when it has room again.
    // A line lost on the way has closed the port and been told already; only a failure on a line still
    // open is this write's own.
    if (lineTakesDataNow(m_port.handle()) && !m_port.flush() && m_port.isOpen())
        throw SerialError(SerialError::WriteFailed,
                          "the command could not be written (" + m_port.errorString().toStdString() + ")");
    raiseSent(bytes);
}

std::string SerialLink::readAll()
{
    if (!m_port.isOpen())
        return {};
    const QByteArray data = m_port.readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

std::size_t SerialLink::bytesWaiting() const
{
    return static_cast<std::size_t>(m_port.bytesToWrite());
}

void SerialLink::onError(QSerialPort::SerialPortError error)
{
    // Once the far end is gone these come in a tight loop until the port is closed: close at the first.
    if ((error != QSerialPort::ReadError && error != QSerialPort::ResourceError) || !m_port.isOpen())
        return;
    m_port.close();
    raiseLost(SerialError(SerialError::LineLost, "the connection was lost"));
}
