#include "qt/platform/stopsignals.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {
// The write end of the pipe that carries SIGINT and SIGTERM to the event loop.
int stopPipeWriter = -1;

void stopSignalled(int)
{
    const int saved = errno;
    const char byte = 0;
    static_cast<void>(::write(stopPipeWriter, &byte, 1));
    errno = saved;
}
} // namespace

StopSignals::StopSignals(std::function<void()> stop)
{
    if (::pipe2(m_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
        throw std::runtime_error("the watch cannot take signals (" + std::string(std::strerror(errno)) + ")");
    stopPipeWriter = m_pipe[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this, stop = std::move(stop)] {
        char byte = 0;
        while (::read(m_pipe[0], &byte, 1) == 1) {
        }
        stop();
    });
    struct sigaction action = {};
    action.sa_handler = stopSignalled;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : StopSignalNumbers)
        ::sigaction(signal, &action, nullptr);
}

StopSignals::~StopSignals()
{
    for (const int signal : StopSignalNumbers)
        std::signal(signal, SIG_DFL);
    m_notifier.reset();
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}
