#include "qt/simulatedprojector.h"

#include "qt/pseudoterminal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <QTimer>

namespace {
constexpr std::size_t ReadChunk = 4096;
} // namespace

SimulatedProjector::SimulatedProjector(const SimulatorOptions &options, QObject *parent)
    : QObject(parent), m_projector(options)
{
    PseudoTerminal pair = openPseudoTerminal();
    m_master = pair.master;
    m_slavePath = std::move(pair.slavePath);
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);

    m_readable = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readable, &QSocketNotifier::activated, this, &SimulatedProjector::readLine);
    m_writable = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, &SimulatedProjector::flush);
    m_clock.start();
}

SimulatedProjector::~SimulatedProjector()
{
    m_readable->setEnabled(false);
    m_writable->setEnabled(false);
    if (m_slave >= 0)
        ::close(m_slave);
    ::close(m_master);
}

std::chrono::milliseconds SimulatedProjector::now() const
{
    return std::chrono::milliseconds(m_clock.elapsed()) + m_advanced;
}

void SimulatedProjector::readLine()
{
    std::array<char, ReadChunk> chunk{};
    const ssize_t n = ::read(m_master, chunk.data(), chunk.size());
    if (n <= 0)
        return;
    const auto at = now();
    for (Transmission &piece : m_projector.receive(std::string_view(chunk.data(), std::size_t(n)), at)) {
        const auto wait = std::max(piece.at - at, std::chrono::milliseconds(0));
        QTimer::singleShot(wait, this, [this, bytes = std::move(piece.bytes)] { transmit(bytes); });
    }
}

void SimulatedProjector::transmit(const std::string &bytes)
{
    m_pending.append(bytes);
    flush();
}

void SimulatedProjector::flush()
{
    bool lineFull = false;
    while (!m_pending.empty()) {
        const ssize_t n = ::write(m_master, m_pending.data(), m_pending.size());
        if (n > 0) {
            m_pending.erase(0, std::size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        lineFull = n < 0 && errno == EAGAIN;
        break;
    }
    // A full line waits for room; any other failure drops the rest, as a line would.
    if (!lineFull)
        m_pending.clear();
    m_writable->setEnabled(!m_pending.empty());
}
