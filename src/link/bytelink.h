#pragma once

#include "link/lineevents.h"
#include "link/linesettings.h"
#include "link/serialerror.h"

#include <cstddef>
#include <functional>
#include <string>

// One way to reach a projector's serial line (a device, raw TCP, RFC 2217): bytes in order both ways.
// It knows nothing of COM numbers or handlers. Its failures are SerialErrors whose description is the
// bare reason ("no such device"); the port that owns the link puts its own name in front.
class ByteLink : public LineEvents
{
public:
    // At most this many bytes wait for a slow line; a write that would pass it fails whole.
    static constexpr std::size_t WriteQueueLimit = 64 * 1024;

    // Throws SerialError, in the same words for every kind of link, unless `bytes` more may queue behind
    // the `waiting` ones: a command longer than the queue is told apart from a line that is not taking data.
    static void checkQueueRoom(std::size_t waiting, std::size_t bytes);

    virtual ~ByteLink() = default;

    // Opens with the given line settings; throws SerialError when it cannot, and is closed then. A link
    // whose far end answers later (a server) is left connecting: open as far as writes go, and told
    // opened or openFailed once.
    virtual void open(const LineSettings &line) = 0;
    virtual void close() = 0;
    // True from a successful open() to close() or loss, while connecting too.
    virtual bool isOpen() const = 0;
    // Waiting for the far end to answer; nothing has gone on the line yet.
    virtual bool connecting() const { return false; }
    // New settings on an open link, at once.
    virtual void setLineSettings(const LineSettings &line) = 0;
    // Queues every byte, in order, and starts them on their way at once. Throws SerialError, having
    // queued nothing, when the link is closed or the bytes would pass WriteQueueLimit.
    virtual void write(const std::string &bytes) = 0;
    // Everything received and not yet read, removed from the link.
    virtual std::string readAll() = 0;
    // Bytes that write() accepted and the line has not taken yet.
    virtual std::size_t bytesWaiting() const = 0;
    // False where the line's settings are the far end's own (raw TCP): open and setLineSettings then
    // change nothing on the line.
    virtual bool appliesLineSettings() const { return true; }

    // Raised after every arrival of at least one byte.
    void setOnArrived(std::function<void()> handler) { m_onArrived = std::move(handler); }
    // Raised with the bytes of one write() when they go on the line, which is later than the write for
    // bytes that waited for a connection or for a protocol to agree the line.
    void setOnSent(std::function<void(const std::string &)> handler) { m_onSent = std::move(handler); }

protected:
    void raiseArrived()
    {
        if (m_onArrived)
            m_onArrived();
    }
    void raiseSent(const std::string &bytes)
    {
        if (m_onSent)
            m_onSent(bytes);
    }

private:
    std::function<void()> m_onArrived;
    std::function<void(const std::string &)> m_onSent;
};
