#include "qt/commandline/scriptreader.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {
constexpr std::string_view StandardInput = "-";
// Read at a time; a script's lines are a few bytes each.
constexpr std::size_t ReadChunkBytes = 4096;
} // namespace

ScriptReader::ScriptReader(const std::string &file, CommandSource &source)
    : m_name(file == StandardInput ? std::string("standard input") : "the script " + file), m_source(source)
{
    if (file == StandardInput) {
        m_descriptor = STDIN_FILENO;
    } else {
        // Without waiting: a FIFO with no writer yet opens at once.
        m_descriptor = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_descriptor == -1) {
            m_source.fail(m_name + " could not be read (" + std::strerror(errno) + ")");
            return;
        }
        m_ownsDescriptor = true;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readSome(); });
    m_source.setOnTaken([this] {
        if (m_notifier && !m_source.closed() && m_source.waiting() < ScriptLinesAhead)
            m_notifier->setEnabled(true);
    });
}

ScriptReader::~ScriptReader()
{
    m_source.setOnTaken({});
    close();
}

void ScriptReader::readSome()
{
    // Standard input may block: it is read only when bytes, or its end, are there now.
    pollfd ready{m_descriptor, POLLIN, 0};
    if (::poll(&ready, 1, 0) == 0)
        return;
    std::array<char, ReadChunkBytes> buffer{};
    const ssize_t count = ::read(m_descriptor, buffer.data(), buffer.size());
    if (count > 0) {
        m_source.feed(std::string_view(buffer.data(), std::size_t(count)));
        if (m_source.closed())
            close();
        else if (m_source.waiting() >= ScriptLinesAhead)
            m_notifier->setEnabled(false);
        return;
    }
    if (count == -1 && (errno == EAGAIN || errno == EINTR))
        return;
    const int error = errno;
    close();
    if (count == 0)
        m_source.end();
    else
        m_source.fail(m_name + " could not be read (" + std::strerror(error) + ")");
}

void ScriptReader::close()
{
    m_notifier.reset();
    if (m_ownsDescriptor)
        ::close(m_descriptor);
    m_ownsDescriptor = false;
}
