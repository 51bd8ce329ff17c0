#pragma once

#include "link/bytelink.h"

#include <chrono>
#include <cstdint>
#include <string>

#include <QByteArray>
#include <QTcpSocket>

// Raw bytes to a serial device server's TCP port; the line's speed is the server's own setting there.
// It is also the socket under the RFC 2217 link, which changes only what goes on the wire.
class TcpLink : public ByteLink
{
public:
    // Opening waits this long for the server before it says there is no answer.
    static constexpr std::chrono::milliseconds ConnectWait{3000};

    TcpLink(std::string host, std::uint16_t port);
    ~TcpLink() override;

    void open(const LineSettings &line) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    void setLineSettings(const LineSettings &line) override;
    void write(const std::string &bytes) override;
    std::string readAll() override;
    // Counted as the bytes stand on the wire.
    std::size_t bytesWaiting() const override { return std::size_t(m_socket.bytesToWrite()); }

protected:
    // The connection stands: the first bytes of a protocol go out here.
    virtual void started(const LineSettings &line) { static_cast<void>(line); }
    virtual void lineChanged(const LineSettings &line) { static_cast<void>(line); }
    // The operator's bytes as they go on the wire.
    virtual std::string encode(const std::string &bytes) { return bytes; }
    // The operator's data in what arrived; a protocol answers the server through send().
    virtual std::string decode(const QByteArray &wire) { return wire.toStdString(); }
    // Bytes on their way in order after those before them; false when the socket would not take them.
    bool send(const std::string &wire);

private:
    [[noreturn]] void failOpen();
    void receive();
    void lose();

    QTcpSocket m_socket;
    std::string m_host;
    std::uint16_t m_port = 0;
    std::string m_received;
    bool m_open = false;
};
