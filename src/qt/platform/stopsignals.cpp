#include "qt/platform/stopsignals.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <time.h>
#include <unistd.h>

namespace {
// The write end of the pipe that carries the signals to the event loop.
int stopPipeWriter = -1;
// SIGHUP reads the configuration again rather than stopping.
std::atomic<bool> hangUpIsNoStop = false;
static_assert(std::atomic<bool>::is_always_lock_free);
// When the first stop signal came, in nanoseconds of the steady clock; 0 before any.
std::atomic<std::int64_t> firstStopNanoseconds = 0;
static_assert(std::atomic<std::int64_t>::is_always_lock_free);

// The steady clock read as a signal handler may (clock_gettime is async-signal-safe).
std::int64_t steadyNanoseconds()
{
    timespec now = {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void stopSignalled(int signal)
{
    const int saved = errno;
    std::int64_t none = 0;
    if (signal != SIGHUP || !hangUpIsNoStop)
        firstStopNanoseconds.compare_exchange_strong(none, steadyNanoseconds());
    const auto byte = static_cast<unsigned char>(signal);
    static_cast<void>(::write(stopPipeWriter, &byte, 1));
    errno = saved;
}
} // namespace

std::chrono::milliseconds StopSignals::waitLeft(std::chrono::milliseconds wait)
{
    const std::int64_t stoppedAt = firstStopNanoseconds;
    if (stoppedAt == 0)
        return wait;
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::nanoseconds(steadyNanoseconds() - stoppedAt));
    return std::clamp(ExitWait - since, std::chrono::milliseconds(0), wait);
}

StopSignals::StopSignals(std::function<void()> stop, std::function<void()> hangUp)
    : m_stop(std::move(stop)), m_hangUp(std::move(hangUp))
{
    if (::pipe2(m_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
        throw std::runtime_error("the watch cannot take signals (" + std::string(std::strerror(errno)) + ")");
    stopPipeWriter = m_pipe[1];
    hangUpIsNoStop = bool(m_hangUp);
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readPipe(); });
    struct sigaction action = {};
    action.sa_handler = stopSignalled;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : StopSignalNumbers)
        ::sigaction(signal, &action, nullptr);
}

// Every signal waiting is taken; a stop wins over a reload that came with it.
void StopSignals::readPipe()
{
    bool stopping = false;
    bool hungUp = false;
    unsigned char byte = 0;
    while (::read(m_pipe[0], &byte, 1) == 1) {
        const bool reload = byte == SIGHUP && m_hangUp;
        hungUp = hungUp || reload;
        stopping = stopping || !reload;
    }
    if (stopping)
        m_stop();
    else if (hungUp)
        m_hangUp();
}

StopSignals::~StopSignals()
{
    for (const int signal : StopSignalNumbers)
        std::signal(signal, SIG_DFL);
    hangUpIsNoStop = false;
    m_notifier.reset();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}
