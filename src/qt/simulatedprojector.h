#pragma once

#include "simulator/projector.h"

#include <chrono>
#include <string>

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>

// A simulated projector on a pseudo-terminal, run on the event loop of the thread that owns it.
// Whoever opens slavePath() talks to it as to a projector on a serial line.
class SimulatedProjector : public QObject
{
public:
    explicit SimulatedProjector(const SimulatorOptions &options = {}, QObject *parent = nullptr);
    ~SimulatedProjector() override;
    SimulatedProjector(const SimulatedProjector &) = delete;
    SimulatedProjector &operator=(const SimulatedProjector &) = delete;

    const std::string &slavePath() const { return m_slavePath; }
    // The projector's clock: the time since start plus every advance.
    std::chrono::milliseconds now() const;
    // Moves the projector's clock on, as if that much more time had passed.
    void advanceClock(std::chrono::milliseconds by) { m_advanced += by; }
    Projector &projector() { return m_projector; }

private:
    void readLine();
    void transmit(const std::string &bytes);
    void flush();

    Projector m_projector;
    int m_master = -1;
    // Held open so the master never sees a hang-up while no one has the line open.
    int m_slave = -1;
    std::string m_slavePath;
    std::string m_pending;
    QSocketNotifier *m_readable = nullptr;
    QSocketNotifier *m_writable = nullptr;
    QElapsedTimer m_clock;
    std::chrono::milliseconds m_advanced{0};
};
