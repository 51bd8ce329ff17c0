#pragma once

#include "link/timer.h"

#include <chrono>
#include <deque>

class VirtualClock;

// A timer that runs on a test's virtual clock.
class VirtualTimer : public Timer
{
public:
    VirtualTimer(VirtualClock &clock, std::chrono::milliseconds interval);

    void setInterval(std::chrono::milliseconds interval) override;
    std::chrono::milliseconds interval() const override { return m_interval; }
    void setEnabled(bool enabled) override;
    bool enabled() const override { return m_enabled; }

    int ticks = 0;

private:
    friend class VirtualClock;
    VirtualClock &m_clock;
    std::chrono::milliseconds m_interval;
    std::chrono::milliseconds m_due{0};
    bool m_enabled = false;
};

// Virtual time for timers: advance() fires every due tick in time order, ties in creation order.
class VirtualClock
{
public:
    std::chrono::milliseconds now() const { return m_now; }
    VirtualTimer &makeTimer(std::chrono::milliseconds interval);
    void advance(std::chrono::milliseconds span);

private:
    std::chrono::milliseconds m_now{0};
    std::deque<VirtualTimer> m_timers;
};
