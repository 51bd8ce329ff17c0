#include "simulator/replyqueue.h"

#include <algorithm>

bool ReplyQueue::add(const std::vector<Transmission> &reply)
{
    std::size_t bytes = 0;
    for (const Transmission &piece : reply)
        bytes += piece.bytes.size();
    if (reply.empty() || bytes > m_capacity - m_waitingBytes)
        return false;
    const auto later = std::max(m_lastPieceAt - reply.front().at, std::chrono::milliseconds(0));
    for (const Transmission &piece : reply)
        m_scheduled.push_back({piece.at + later, piece.bytes});
    m_lastPieceAt = m_scheduled.back().at;
    m_waitingBytes += bytes;
    return true;
}

std::optional<std::chrono::milliseconds> ReplyQueue::nextDue() const
{
    if (m_scheduled.empty())
        return std::nullopt;
    return m_scheduled.front().at;
}

std::vector<std::string> ReplyQueue::release(std::chrono::milliseconds now)
{
    std::vector<std::string> released;
    while (!m_scheduled.empty() && m_scheduled.front().at <= now) {
        m_outgoing += m_scheduled.front().bytes;
        released.push_back(std::move(m_scheduled.front().bytes));
        m_scheduled.pop_front();
    }
    return released;
}

void ReplyQueue::taken(std::size_t bytes)
{
    bytes = std::min(bytes, m_outgoing.size());
    m_outgoing.erase(0, bytes);
    m_waitingBytes -= bytes;
}

void ReplyQueue::clear()
{
    m_scheduled.clear();
    m_outgoing.clear();
    m_waitingBytes = 0;
}
