#include "virtualclock.h"

#include <algorithm>

using namespace std::chrono_literals;

VirtualTimer::VirtualTimer(VirtualClock &clock, std::chrono::milliseconds interval)
    : m_clock(clock), m_interval(interval)
{
}

void VirtualTimer::setInterval(std::chrono::milliseconds interval)
{
    m_interval = std::max(interval, 1ms);
    if (m_enabled)
        m_due = m_clock.now() + m_interval;
}

void VirtualTimer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (enabled)
        m_due = m_clock.now() + m_interval;
}

VirtualTimer &VirtualClock::makeTimer(std::chrono::milliseconds interval)
{
    return m_timers.emplace_back(*this, interval);
}

void VirtualClock::advance(std::chrono::milliseconds span)
{
    const auto end = m_now + span;
    for (;;) {
        VirtualTimer *next = nullptr;
        for (VirtualTimer &timer : m_timers) {
            if (timer.m_enabled && timer.m_due <= end && (!next || timer.m_due < next->m_due))
                next = &timer;
        }
        if (!next)
            break;
        m_now = next->m_due;
        next->m_due += next->m_interval;
        ++next->ticks;
        next->tick();
    }
    m_now = end;
}
