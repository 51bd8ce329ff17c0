#pragma once

#include "link/bytelink.h"

#include <string>

#include <QObject>
#include <QSerialPort>
#include <QString>

// A serial device (an adapter, a built-in port, a pseudo-terminal) as a byte link, over QSerialPort.
class SerialLink : public QObject, public ByteLink
{
public:
    // device is the path's bytes as the file system has them.
    explicit SerialLink(std::string device, QObject *parent = nullptr);

    void open(const LineSettings &line) override;
    void close() override;
    bool isOpen() const override { return m_port.isOpen(); }
    void setLineSettings(const LineSettings &line) override;
    void write(const std::string &bytes) override;
    std::string readAll() override;
    std::size_t bytesWaiting() const override;

private:
    [[noreturn]] void failOpen(QSerialPort::SerialPortError error, const QString &errorText);
    void onError(QSerialPort::SerialPortError error);

    std::string m_device;
    QSerialPort m_port;
};
