#include "pty.h"

#include "qt/simulator/pseudoterminal.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>
#include <utility>

#include <QCoreApplication>

namespace {
constexpr std::size_t ChunkBytes = 4096;
constexpr std::chrono::milliseconds EventSlice{5};

std::chrono::milliseconds leftUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}
} // namespace

Pty::Pty()
{
    PseudoTerminal pair = openPseudoTerminal();
    m_master = pair.master;
    m_slavePath = std::move(pair.slavePath);
}

Pty::~Pty()
{
    closeMaster();
}

void Pty::write(const std::string &bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += std::size_t(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd room{m_master, POLLOUT, 0};
            ::poll(&room, 1, int(DefaultWait.count()));
        } else if (n < 0 && errno != EINTR) {
            throw std::runtime_error("pseudo-terminal write failed");
        }
    }
}

std::string Pty::readOnce(std::chrono::milliseconds timeout)
{
    // The event loop runs while the test waits: what it waits for may be the console's to send only once
    // it has heard from a server on that loop.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd ready{m_master, POLLIN, 0};
    for (;;) {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
        const auto slice = std::min(leftUntil(deadline), EventSlice);
        if (::poll(&ready, 1, int(slice.count())) > 0)
            break;
        if (slice < EventSlice)
            return {};
    }
    char chunk[ChunkBytes];
    const ssize_t n = ::read(m_master, chunk, sizeof chunk);
    return n > 0 ? std::string(chunk, std::size_t(n)) : std::string();
}

std::string Pty::readAvailable()
{
    std::string received;
    for (std::string chunk = readOnce({}); !chunk.empty(); chunk = readOnce({}))
        received += chunk;
    return received;
}

std::string Pty::readFor(std::chrono::milliseconds timeout)
{
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (auto left = timeout; left.count() > 0; left = leftUntil(deadline))
        received += readOnce(left);
    return received + readAvailable();
}

std::string Pty::read(std::size_t bytes, std::chrono::milliseconds timeout)
{
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (auto left = timeout; received.size() < bytes && left.count() > 0; left = leftUntil(deadline))
        received += readOnce(left);
    return received;
}

void Pty::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
