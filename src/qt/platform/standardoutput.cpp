#include "qt/platform/standardoutput.h"

#include "qt/platform/pipesignal.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>

StandardOutput::StandardOutput(int descriptor) : m_descriptor(descriptor)
{
    keepPipeSignalFromThisThread();
    struct stat status = {};
    // A regular file's writes never wait for a reader.
    if (::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode))
        return;
    // A terminal or a pipe is opened again, non-blocking, as a description of the console's own: the
    // shell's keeps its flags however the run ends, a signal among the ways.
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    const int own = ::open(self.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (own >= 0) {
        m_descriptor = own;
        m_ownsDescriptor = true;
        return;
    }
    // What cannot be opened again (a socket) has its flags changed and given back at the end.
    m_savedFlags = ::fcntl(m_descriptor, F_GETFL);
    if (m_savedFlags != -1)
        ::fcntl(m_descriptor, F_SETFL, m_savedFlags | O_NONBLOCK);
}

StandardOutput::~StandardOutput()
{
    m_notifier.reset();
    if (m_savedFlags != -1)
        ::fcntl(m_descriptor, F_SETFL, m_savedFlags);
    if (m_ownsDescriptor)
        ::close(m_descriptor);
}

bool StandardOutput::write(const QByteArray &line)
{
    if (m_failed)
        return false;
    if (m_queued + std::size_t(line.size()) > QueueLimitBytes) {
        if (m_dropped++ == 0 && m_onFirstDrop)
            m_onFirstDrop();
        return true;
    }
    m_queue.push_back(line);
    m_queued += std::size_t(line.size());
    return flush();
}

bool StandardOutput::flush()
{
    while (!m_queue.empty()) {
        const QByteArray &line = m_queue.front();
        const ssize_t count =
            ::write(m_descriptor, line.constData() + m_written, std::size_t(line.size()) - m_written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count == 0 || (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)))
            break;
        if (count < 0) {
            m_failed = true;
            m_queue.clear();
            m_queued = 0;
            m_notifier.reset();
            return false;
        }
        m_written += std::size_t(count);
        if (m_written < std::size_t(line.size()))
            continue;
        m_queued -= std::size_t(line.size());
        m_written = 0;
        m_queue.pop_front();
    }
    if (!m_queue.empty() && !m_notifier) {
        m_notifier = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Write);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { flush(); });
    }
    if (m_notifier)
        m_notifier->setEnabled(!m_queue.empty());
    return true;
}

void StandardOutput::drain(std::optional<std::chrono::milliseconds> limit)
{
    QElapsedTimer waited;
    waited.start();
    while (!m_queue.empty() && flush() && !m_queue.empty()) {
        const qint64 left = limit ? limit->count() - waited.elapsed() : -1;
        if (limit && left <= 0)
            break;
        pollfd writable{m_descriptor, POLLOUT, 0};
        ::poll(&writable, 1, int(left));
    }
    m_dropped += m_queue.size();
    m_queue.clear();
    m_queued = 0;
    m_notifier.reset();
}
