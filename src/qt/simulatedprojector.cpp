#include "qt/simulatedprojector.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

#include <QTimer>

namespace {
constexpr std::size_t ReadChunk = 4096;
} // namespace

SimulatedProjector::SimulatedProjector(const SimulatorOptions &options, QObject *parent)
    : QObject(parent), m_projector(options)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        if (m_master >= 0)
            ::close(m_master);
        throw std::runtime_error("no pseudo-terminal for the simulated projector");
    }
    m_slavePath = ::ptsname(m_master);
    // Raw, so every byte 0 to 255 crosses unchanged and nothing is echoed.
    termios raw{};
    ::tcgetattr(m_master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_master, TCSANOW, &raw);
    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);

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
