#include "qt/platform/standardoutput.h"

#include "qt/platform/pipesignal.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>

StandardOutput::StandardOutput(int descriptor) : m_descriptor(descriptor)
{
    keepPipeSignalFromThisThread();
    // Only a pipe or a socket has a reader that may stop reading; a terminal's description is the
    // shell's too, and is left as it is.
    struct stat status = {};
    if (::fstat(m_descriptor, &status) != 0 || !(S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)))
        return;
    m_savedFlags = ::fcntl(m_descriptor, F_GETFL);
    if (m_savedFlags != -1)
        ::fcntl(m_descriptor, F_SETFL, m_savedFlags | O_NONBLOCK);
}

StandardOutput::~StandardOutput()
{
    m_notifier.reset();
    if (m_savedFlags != -1)
        ::fcntl(m_descriptor, F_SETFL, m_savedFlags);
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
