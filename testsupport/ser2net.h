#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QProcess>
#include <QTemporaryDir>

// ser2net in front of a serial device the test holds, on free ports of 127.0.0.1: one accepter speaks
// RFC 2217, the other plain TCP. Stopped at the end. The first start lets the kernel choose the ports as
// ser2net binds them, so tests running side by side never race for one; a later start takes them again.
class Ser2net
{
public:
    // The server's own speed for the device, before any client sets it.
    static constexpr int ConfiguredBaud = 115200;

    // Where it is installed; empty when it is not.
    static QString program();

    // With kickOldUser, a new client takes the device from the one before, as an operator reconnecting
    // would; without it, ser2net's own default, the new client is refused while the old one is served.
    explicit Ser2net(const std::string &device, bool kickOldUser = true);
    ~Ser2net();
    Ser2net(const Ser2net &) = delete;
    Ser2net &operator=(const Ser2net &) = delete;

    // Starts it and waits until both ports accept; false when it would not come up.
    bool start();
    void stop();

    // Known once it has started.
    std::uint16_t rfc2217Port() const { return m_rfc2217Port; }
    std::uint16_t tcpPort() const { return m_tcpPort; }
    // What it said on its way, for a failure's message.
    QString output() const;

private:
    // Both accepters' ports, once ser2net listens on them.
    bool learnPorts();

    std::string m_device;
    bool m_kickOldUser;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    std::uint16_t m_rfc2217Port = 0;
    std::uint16_t m_tcpPort = 0;
};

// In a test function: skips it where ser2net is not installed.
#define SKIP_WITHOUT_SER2NET()                                                                               \
    if (Ser2net::program().isEmpty())                                                                        \
    QSKIP("ser2net is not installed (apt-get install ser2net)")
