#pragma once

#include "link/lineevents.h"
#include "link/serialerror.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

// The console's one serial port (MSComm1): what the handlers ask of it, and no more.
// Strings carry one byte per char (0 to 255), never an encoding.
class SerialPort : public LineEvents
{
public:
    // CommEvent code of an arrival of characters; every other code is ignored by the receive path.
    static constexpr int ReceiveEvent = 2;

    virtual ~SerialPort() = default;

    // Selects COM1 or COM2 for the next open; written only while the port is closed.
    virtual void setCommPort(int port) = 0;
    virtual int CommPort() const = 0;
    // "19200,N,8,1" or "9600,N,8,1"; takes effect at once on an open port.
    virtual void setSettings(const std::string &settings) = 0;
    // True while an open waits for a server too: commands written then go out once it answers.
    virtual bool PortOpen() const = 0;
    // Opening throws SerialError when the port cannot open at once; an open that waits for a server
    // leaves the port connecting and tells OnOpened or OnOpenFailed later, after this call has returned.
    virtual void setPortOpen(bool open) = 0;
    virtual bool connecting() const { return false; }
    // Transmits every byte in order; throws SerialError when the port cannot take them.
    virtual void Output(const std::string &bytes) = 0;
    // Everything received and not yet read, removed from the port.
    virtual std::string Input() = 0;
    // Bytes Output took that the line has not yet.
    virtual std::size_t OutBufferCount() const { return 0; }
    virtual int CommEvent() const = 0;
    // The selected port's name in messages: "COM1 (/dev/ttyUSB0)"; for auto, the device it was chosen as.
    virtual std::string portName() const = 0;
    // No reply to `command` (as it went out) came within `waited`: for the traffic log; nothing on the line.
    virtual void noReply(const std::string &command, std::chrono::milliseconds waited)
    {
        static_cast<void>(command);
        static_cast<void>(waited);
    }
    // Bytes that came and were taken for no reply, and why: for the traffic log; nothing on the line.
    virtual void ignored(const std::string &bytes, const std::string &why)
    {
        static_cast<void>(bytes);
        static_cast<void>(why);
    }

    // Raised on the UI thread after every arrival of at least one character; arrivals that come before it
    // is raised may be told as one.
    void setOnComm(std::function<void()> handler) { m_onComm = std::move(handler); }

protected:
    void raiseOnComm()
    {
        if (m_onComm)
            m_onComm();
    }

private:
    std::function<void()> m_onComm;
};
