#pragma once

#include <chrono>
#include <functional>

// A timer of the UI thread: a period, an enabled flag and a tick.
// Enabling a timer, or changing the period of an enabled one, starts its period afresh.
class Timer
{
public:
    virtual ~Timer() = default;

    virtual void setInterval(std::chrono::milliseconds interval) = 0;
    virtual std::chrono::milliseconds interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool enabled() const = 0;

    void setOnTick(std::function<void()> handler) { m_onTick = std::move(handler); }

protected:
    void tick()
    {
        if (m_onTick)
            m_onTick();
    }

private:
    std::function<void()> m_onTick;
};
