#pragma once

#include <array>
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>

#include <QSocketNotifier>

// SIGINT, SIGTERM and SIGHUP (a terminal that hung up) call `stop` on the event loop, for as long as this
// lives: the handler only writes the signal's number to a pipe that the loop reads. Given `hangUp`, SIGHUP
// calls that instead and is no stop (a service told to read its configuration again).
//
// After a stop signal, every wait for what is still queued (standard output, the broker's last word, the
// traffic log) shares one deadline, ExitWait after the signal, so the process ends within a second
// however many of them there are.
class StopSignals
{
public:
    // What the waits at the end share; the rest of the second closes the links and ends the process.
    static constexpr std::chrono::milliseconds ExitWait{700};

    // What is left of ExitWait since the first stop signal, at most `wait`; `wait` when none came.
    static std::chrono::milliseconds waitLeft(std::chrono::milliseconds wait);

    // Throws std::runtime_error with the reason when the pipe cannot be made.
    explicit StopSignals(std::function<void()> stop, std::function<void()> hangUp = {});
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

private:
    void readPipe();

    static constexpr std::array<int, 3> StopSignalNumbers = {SIGINT, SIGTERM, SIGHUP};
    std::function<void()> m_stop;
    std::function<void()> m_hangUp;
    int m_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
};
