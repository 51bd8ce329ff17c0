#include "qt/http/httpstream.h"

#include <algorithm>
#include <cstring>
#include <microhttpd.h>

bool HttpStream::push(std::string text)
{
    const std::lock_guard lock(m_mutex);
    if (m_gone || m_ended)
        return false;
    if (m_waitingBytes + text.size() > QueueLimitBytes) {
        // Cut off: what waits is let go at once, and the body ends.
        m_waiting.clear();
        m_waitingBytes = 0;
        m_sent = 0;
        m_ended = true;
        wake();
        return false;
    }
    m_waitingBytes += text.size();
    m_waiting.push_back(std::move(text));
    wake();
    return true;
}

void HttpStream::end()
{
    const std::lock_guard lock(m_mutex);
    m_ended = true;
    wake();
}

bool HttpStream::open() const
{
    const std::lock_guard lock(m_mutex);
    return !m_gone && !m_ended;
}

void HttpStream::attach(MHD_Connection *connection)
{
    const std::lock_guard lock(m_mutex);
    m_connection = connection;
}

void HttpStream::detach()
{
    const std::lock_guard lock(m_mutex);
    m_gone = true;
    m_connection = nullptr;
    m_waiting.clear();
    m_waitingBytes = 0;
}

ssize_t HttpStream::read(char *buffer, std::size_t max)
{
    const std::lock_guard lock(m_mutex);
    if (m_waiting.empty()) {
        if (m_ended)
            return MHD_CONTENT_READER_END_OF_STREAM;
        // Nothing to send: the connection waits, costing the server's thread nothing, until a push.
        if (m_connection != nullptr) {
            m_suspended = true;
            MHD_suspend_connection(m_connection);
        }
        return 0;
    }
    std::size_t copied = 0;
    while (copied < max && !m_waiting.empty()) {
        const std::string &front = m_waiting.front();
        const std::size_t piece = std::min(max - copied, front.size() - m_sent);
        std::memcpy(buffer + copied, front.data() + m_sent, piece);
        copied += piece;
        m_sent += piece;
        if (m_sent == front.size()) {
            m_waitingBytes -= front.size();
            m_waiting.pop_front();
            m_sent = 0;
        }
    }
    return ssize_t(copied);
}

void HttpStream::wake()
{
    if (m_suspended && m_connection != nullptr) {
        m_suspended = false;
        MHD_resume_connection(m_connection);
    }
}
