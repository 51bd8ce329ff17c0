#pragma once

#include "link/bytelink.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <QByteArray>
#include <QTcpSocket>
#include <QTimer>

// Raw bytes to a serial device server's TCP port; the line's speed is the server's own setting there.
// It is also the socket under the RFC 2217 link, which changes only what goes on the wire.
class TcpLink : public ByteLink
{
public:
    // A server that has not answered the connection this long is told as no answer.
    static constexpr std::chrono::milliseconds ConnectWait{3000};
    // What the socket reads from the server at a time, so a server that sends without end is held back
    // by the network's own flow control rather than by the console's memory.
    static constexpr qint64 ReadBufferBytes = 64 * 1024;
    // A server that closes this soon after the console connected, having sent a line of text, is giving
    // its reason (ser2net: "Port's device already in use"); the longest such text kept.
    static constexpr std::chrono::milliseconds ReasonWindow{1000};
    static constexpr std::size_t ReasonLimit = 256;
    // A first byte 255 alone may be the start of telnet's first words: the next byte decides, if it
    // comes this soon; otherwise the 255 is data.
    static constexpr std::chrono::milliseconds TelnetOpeningWait{250};
    // How long a new connection listens for the server's first words before the open is told and any
    // command goes out: ser2net's refusal comes within a millisecond, and a projector never speaks unasked.
    static constexpr std::chrono::milliseconds WordsWait{50};

    TcpLink(std::string host, std::uint16_t port);
    ~TcpLink() override;

    // Connects without waiting: connecting until the server answers, told opened or openFailed.
    void open(const LineSettings &line) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool connecting() const override { return m_connecting; }
    void setLineSettings(const LineSettings &line) override;
    void write(const std::string &bytes) override;
    std::string readAll() override;
    // Counted as the bytes stand on the wire, held ones too.
    std::size_t bytesWaiting() const override { return std::size_t(m_socket.bytesToWrite()) + m_held.size(); }
    bool appliesLineSettings() const override { return false; }

protected:
    // The connection stands: the first bytes of a protocol go out here.
    virtual void started(const LineSettings &line) { static_cast<void>(line); }
    virtual void lineChanged(const LineSettings &line) { static_cast<void>(line); }
    // The operator's bytes as they go on the wire.
    virtual std::string encode(const std::string &bytes) { return bytes; }
    // The operator's data in what arrived; a protocol answers the server through answer().
    virtual std::string decode(const QByteArray &wire);
    // The protocol's own bytes to the server, within the same bound as the operator's; a server that
    // does not take them is dropped.
    void answer(const std::string &wire);
    // The operator's bytes wait, in order and within the bound, until release(); called from started().
    void hold() { m_holding = true; }
    void release();
    // Ends the connection and tells the operator why; nothing more is read or sent.
    void drop(const std::string &reason);
    // The server's address as an endpoint of the given kind would name it: "rfc2217://127.0.0.1:4001".
    std::string endpointText(const std::string &scheme) const;

private:
    void connected();
    // Text the server sends on its own right after the connection is its words, never a reply: kept for
    // the reason it may close with, and told, before the open is.
    void listen();
    void wordsHeard();
    void closedWhileListening();
    // Ends the connection, keeping what arrived for readAll().
    void stop();
    void failConnecting(QAbstractSocket::SocketError error);
    // Bytes on their way in order after those before them; false when the socket would not take them.
    bool send(const std::string &wire);
    void receive();
    void deliver(const std::string &data);
    void lose();
    std::string closingReason() const;
    std::string serverWords() const;

    QTcpSocket m_socket;
    QTimer m_connectWait;
    QTimer m_telnetOpeningWait;
    QTimer m_wordsWait;
    std::string m_host;
    std::uint16_t m_port = 0;
    LineSettings m_line;
    std::string m_received;
    bool m_open = false;
    // From open() until the open is told, the server's first words included.
    bool m_connecting = false;
    bool m_listening = false;
    bool m_heardFrom = false;
    // Set while connecting too: nothing goes out before the server has answered.
    bool m_holding = false;
    std::string m_held;
    // The operator's writes in m_held, as given, told as sent when they go.
    std::vector<std::string> m_heldWrites;
    // A first byte 255 that waits for the next to say whether it is telnet.
    std::string m_opening;
    std::chrono::steady_clock::time_point m_openedAt;
    // What the server said before any command, while it might still be a reason for closing.
    std::string m_firstData;
    bool m_commandSent = false;
};
