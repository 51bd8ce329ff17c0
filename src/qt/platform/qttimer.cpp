#include "qt/platform/qttimer.h"

QtTimer::QtTimer(std::chrono::milliseconds interval, QObject *parent) : QObject(parent)
{
    // A held button repeats every 5 ms at the fastest pace; a coarse timer would stretch that.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
}

void QtTimer::setEnabled(bool enabled)
{
    if (enabled)
        m_timer.start();
    else
        m_timer.stop();
}
