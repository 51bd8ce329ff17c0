#pragma once

#include <array>
#include <csignal>
#include <functional>
#include <memory>

#include <QSocketNotifier>

// SIGINT, SIGTERM and SIGHUP (a terminal that hung up) call `stop` on the event loop, for as long as this
// lives: the handler only writes a byte to a pipe that the loop reads.
class StopSignals
{
public:
    // Throws std::runtime_error with the reason when the pipe cannot be made.
    explicit StopSignals(std::function<void()> stop);
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

private:
    static constexpr std::array<int, 3> StopSignalNumbers = {SIGINT, SIGTERM, SIGHUP};
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
