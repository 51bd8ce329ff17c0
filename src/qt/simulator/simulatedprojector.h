#pragma once

#include "qt/simulator/projectorsession.h"

#include <chrono>
#include <string>

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
    std::chrono::milliseconds now() const { return m_session.now(); }
    // Moves the projector's clock on, as if that much more time had passed.
    void advanceClock(std::chrono::milliseconds by) { m_session.advanceClock(by); }
    Projector &projector() { return m_session.projector(); }
    ProjectorSession &session() { return m_session; }

private:
    void readLine();
    qint64 write(std::string_view bytes);

    int m_master = -1;
    // Held open so the master never sees a hang-up while no one has the line open.
    int m_slave = -1;
    std::string m_slavePath;
    QSocketNotifier *m_readable = nullptr;
    QSocketNotifier *m_writable = nullptr;
    ProjectorSession m_session;
};
