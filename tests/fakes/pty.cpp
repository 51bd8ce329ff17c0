#include "pty.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

Pty::Pty()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    m_slavePath = ::ptsname(m_master);
    // Raw both ways, so every byte 0 to 255 crosses unchanged.
    termios raw{};
    ::tcgetattr(m_master, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_master, TCSANOW, &raw);
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
        if (n > 0)
            done += std::size_t(n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            throw std::runtime_error("pseudo-terminal write failed");
        else
            ::poll(nullptr, 0, 1);
    }
}

std::string Pty::read(std::size_t bytes, std::chrono::milliseconds timeout)
{
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (received.size() < bytes) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd ready{m_master, POLLIN, 0};
        if (::poll(&ready, 1, int(left.count())) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0)
            received.append(chunk, std::size_t(n));
    }
    return received;
}

void Pty::closeMaster()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}
