#include "qt/simulator/simulatedprojector.h"

#include "qt/simulator/pseudoterminal.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr std::size_t ReadChunk = 4096;
} // namespace

SimulatedProjector::SimulatedProjector(const SimulatorOptions &options, QObject *parent)
    : QObject(parent), m_session(options, [this](std::string_view bytes) { return write(bytes); })
{
    PseudoTerminal pair = openPseudoTerminal();
    m_master = pair.master;
    m_slavePath = std::move(pair.slavePath);
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);

    m_readable = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &SimulatedProjector::readLine);
    m_writable = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, [this] { m_session.lineReady(); });
}

SimulatedProjector::~SimulatedProjector()
{
    m_readable->setEnabled(false);
    m_writable->setEnabled(false);
    if (m_slave >= 0)
        ::close(m_slave);
    ::close(m_master);
}

void SimulatedProjector::readLine()
{
    std::array<char, ReadChunk> chunk{};
    const ssize_t n = ::read(m_master, chunk.data(), chunk.size());
    if (n > 0)
        m_session.receive(std::string_view(chunk.data(), std::size_t(n)));
}

qint64 SimulatedProjector::write(std::string_view bytes)
{
    ssize_t n = 0;
    do
        n = ::write(m_master, bytes.data(), bytes.size());
    while (n < 0 && errno == EINTR);
    const bool full = n < 0 && errno == EAGAIN;
    // A full line says when it takes more; any other failure is the session's to handle.
    m_writable->setEnabled(full || (n >= 0 && std::size_t(n) < bytes.size()));
    if (n < 0)
        return full ? 0 : -1;
    return n;
}
