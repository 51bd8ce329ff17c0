#pragma once

#include "simulator/transmission.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The simulated projector's output buffer: replies waiting to be due and bytes due that the line has not
// taken yet, together never more than the capacity. A reply is taken whole or not at all, and goes out
// after the one before it, so a line that stops reading loses whole replies and never corrupts one.
class ReplyQueue
{
public:
    static constexpr std::size_t DefaultCapacityBytes = 4096;

    explicit ReplyQueue(std::size_t capacityBytes = DefaultCapacityBytes) : m_capacity(capacityBytes) {}

    // Takes every piece of one reply, or none when they do not fit. A reply that would start before the
    // previous one has ended is moved back, keeping the gaps between its pieces.
    bool add(const std::vector<Transmission> &reply);
    // The clock value at which the next piece is due, if one waits.
    std::optional<std::chrono::milliseconds> nextDue() const;
    // Makes every piece due at now outgoing, and gives them in order.
    std::vector<std::string> release(std::chrono::milliseconds now);
    // The bytes that are due and not yet taken by the line.
    std::string_view outgoing() const { return m_outgoing; }
    // The line took the first bytes of outgoing().
    void taken(std::size_t bytes);
    // The line is gone: nothing that waits for it is sent.
    void clear();
    std::size_t waitingBytes() const { return m_waitingBytes; }
    std::size_t capacityBytes() const { return m_capacity; }

private:
    std::size_t m_capacity;
    std::size_t m_waitingBytes = 0;
    std::deque<Transmission> m_scheduled;
    std::string m_outgoing;
    // When the last piece taken goes out: a later reply starts no earlier.
    std::chrono::milliseconds m_lastPieceAt{0};
};
