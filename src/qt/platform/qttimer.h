#pragma once

#include "link/timer.h"

#include <QObject>
#include <QTimer>

// A console timer on a precise QTimer of the UI thread.
class QtTimer : public QObject, public Timer
{
public:
    QtTimer(std::chrono::milliseconds interval, QObject *parent = nullptr);

    void setInterval(std::chrono::milliseconds interval) override { m_timer.setInterval(interval); }
    std::chrono::milliseconds interval() const override { return m_timer.intervalAsDuration(); }
    void setEnabled(bool enabled) override;
    bool enabled() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};
