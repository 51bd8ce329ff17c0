#pragma once

#include "link/rfc2217codec.h"
#include "qt/links/tcplink.h"

#include <chrono>

#include <QTimer>

// A serial device server reached by telnet with the COM port control option: the console sets the
// server's line as it would set its own port. Bytes waiting count as they stand on the wire, where a
// 255 is two.
class Rfc2217Link : public TcpLink
{
public:
    // How long the operator's first bytes wait for the server to take the line's settings.
    static constexpr std::chrono::milliseconds SettingsWait{1000};

    Rfc2217Link(std::string host, std::uint16_t port);

    // The speed the server last said it runs at, 0 before it has said; it is never waited for.
    int acknowledgedBaud() const { return m_codec.acknowledgedBaud(); }
    // The speed goes to the server.
    bool appliesLineSettings() const override { return true; }

protected:
    void started(const LineSettings &line) override;
    void lineChanged(const LineSettings &line) override;
    std::string encode(const std::string &bytes) override { return Rfc2217Codec::encode(bytes); }
    std::string decode(const QByteArray &wire) override;

private:
    // The settings have gone, or will not: the operator's bytes follow, and a line left at the server's
    // own speed is told once.
    void settled(const std::string &notice);

    Rfc2217Codec m_codec;
    QTimer m_settingsWait;
};
