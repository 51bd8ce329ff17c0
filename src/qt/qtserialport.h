#pragma once

#include "serial/serialport.h"

#include <QObject>
#include <QSerialPort>
#include <QString>

// The console's serial port over QSerialPort: COM1 and COM2 are two devices named at start.
class QtSerialPort : public QObject, public SerialPort
{
public:
    QtSerialPort(const QString &com1Device, const QString &com2Device, QObject *parent = nullptr);

    void setCommPort(int port) override;
    int CommPort() const override { return m_commPort; }
    void setSettings(const std::string &settings) override;
    bool PortOpen() const override { return m_port.isOpen(); }
    void setPortOpen(bool open) override;
    void Output(const std::string &bytes) override;
    std::string Input() override;
    int CommEvent() const override { return m_event; }

private:
    QString device() const;
    std::string portName() const;
    void applySettings();
    [[noreturn]] void fail(SerialError::Number number, const std::string &reason) const;
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
    QString m_devices[2];
    int m_commPort = 1;
    int m_event = 0;
    std::string m_settings = "19200,N,8,1";
};
