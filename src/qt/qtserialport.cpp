#include "qt/qtserialport.h"

#include "serial/linesettings.h"

#include <unistd.h>

namespace {
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

QtSerialPort::QtSerialPort(const QString &com1Device, const QString &com2Device, QObject *parent)
    : QObject(parent), m_devices{com1Device, com2Device}
{
    connect(&m_port, &QSerialPort::readyRead, this, [this] {
        m_event = ReceiveEvent;
        raiseOnComm();
    });
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
}

QString QtSerialPort::device() const
{
    return m_devices[m_commPort - 1];
}

std::string QtSerialPort::portName() const
{
    return "COM" + std::to_string(m_commPort) + " (" + device().toStdString() + ")";
}

void QtSerialPort::fail(SerialError::Number number, const std::string &reason) const
{
    throw SerialError(number, portName() + ": " + reason);
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
    parseLineSettings(settings);
    m_settings = settings;
    if (m_port.isOpen())
        applySettings();
}

void QtSerialPort::applySettings()
{
    const LineSettings line = parseLineSettings(m_settings);
    const bool applied =
        m_port.setBaudRate(line.baud) &&
        m_port.setDataBits(line.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8) &&
        m_port.setParity(parityOf(line.parity)) &&
        m_port.setStopBits(line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
        m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied)
        fail(SerialError::BadSettings, "the line would not take " + m_settings);
}

void QtSerialPort::setPortOpen(bool open)
{
    if (open == m_port.isOpen())
        return;
    if (!open) {
        m_port.close();
        return;
    }
    m_port.setPortName(device());
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port.error();
        m_port.clearError();
        if (error == QSerialPort::DeviceNotFoundError)
            fail(SerialError::NoSuchDevice, "no such device");
        // The port's lock file and a real lack of rights both come back as a permission error.
        if (error == QSerialPort::PermissionError) {
            if (::access(device().toLocal8Bit().constData(), R_OK | W_OK) != 0)
                fail(SerialError::NoPermission, "no permission (join the dialout group)");
            fail(SerialError::InUse, "in use by another program");
        }
        fail(SerialError::OpenFailed, "cannot be opened (" + m_port.errorString().toStdString() + ")");
    }
    try {
        applySettings();
    } catch (const SerialError &) {
        m_port.close();
        throw;
    }
}

void QtSerialPort::Output(const std::string &bytes)
{
    if (!m_port.isOpen())
        fail(SerialError::PortNotOpen, "port is not open");
    const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (m_port.write(data) != data.size())
        fail(SerialError::WriteFailed, "the command could not be written");
    // Out on the line now rather than at some later turn of the event loop. A line lost on the way has
    // closed the port and been told already; only a failure on a line still open is this write's own.
    if (!m_port.flush() && m_port.isOpen())
        fail(SerialError::WriteFailed,
             "the command could not be written (" + m_port.errorString().toStdString() + ")");
}

std::string QtSerialPort::Input()
{
    if (!m_port.isOpen())
        return {};
    const QByteArray data = m_port.readAll();
    return std::string(data.constData(), static_cast<std::size_t>(data.size()));
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    // Once the far end is gone these come in a tight loop until the port is closed: close at the first.
    if ((error != QSerialPort::ReadError && error != QSerialPort::ResourceError) || !m_port.isOpen())
        return;
    m_port.close();
    raiseLost(
        SerialError(SerialError::LineLost, portName() + ": the connection was lost; choose the port again"));
}
