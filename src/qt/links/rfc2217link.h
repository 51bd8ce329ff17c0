#pragma once

#include "link/rfc2217codec.h"
#include "qt/links/tcplink.h"

// A serial device server reached by telnet with the COM port control option: the console sets the
// server's line as it would set its own port. Bytes waiting count as they stand on the wire, where a
// 255 is two.
class Rfc2217Link : public TcpLink
{
public:
    using TcpLink::TcpLink;

    // The speed the server last said it runs at, 0 before it has said; it is never waited for.
    int acknowledgedBaud() const { return m_codec.acknowledgedBaud(); }

protected:
    void started(const LineSettings &line) override;
    void lineChanged(const LineSettings &line) override;
    std::string encode(const std::string &bytes) override { return Rfc2217Codec::encode(bytes); }
    std::string decode(const QByteArray &wire) override;

private:
    Rfc2217Codec m_codec;
};
