#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <sys/types.h>

struct MHD_Connection;

// A response body written as it comes (server-sent events): the event loop pushes text, the server's
// thread sends it. The text waiting is bounded: a reader that falls behind by more is cut off, never
// buffered without end. Thread-safe.
class HttpStream
{
public:
    // Text waiting for one slow reader before it is cut off.
    static constexpr std::size_t QueueLimitBytes = 64 * 1024;

    // Adds text for the reader; false once the reader is gone or was cut off, so it can be forgotten.
    bool push(std::string text);
    // Ends the body after what is waiting.
    void end();
    // Whether the reader still reads.
    bool open() const;

    // For the server's thread: the connection it is sent on, and its end.
    void attach(MHD_Connection *connection);
    void detach();
    // For the server's thread: up to max bytes of what waits; 0 when nothing does (the connection is
    // then suspended until a push), -1 at the end (MHD's end of stream).
    ssize_t read(char *buffer, std::size_t max);

private:
    void wake();

    mutable std::mutex m_mutex;
    std::deque<std::string> m_waiting;
    std::size_t m_waitingBytes = 0;
    // Bytes of the front text already sent.
    std::size_t m_sent = 0;
    bool m_ended = false;
    bool m_gone = false;
    bool m_suspended = false;
    MHD_Connection *m_connection = nullptr;
};
