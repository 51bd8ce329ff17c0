#pragma once

#include <chrono>
#include <string>

// A pseudo-terminal pair for tests: the test holds the master, the console opens the slave as its port.
class Pty
{
public:
    static constexpr std::chrono::milliseconds DefaultWait{2000};

    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    const std::string &slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }
    // Sends every byte to the console, waiting while the line is full.
    void write(const std::string &bytes);
    // What the console has sent and nobody has read yet, without waiting.
    std::string readAvailable();
    // Everything the console sends until timeout has passed.
    std::string readFor(std::chrono::milliseconds timeout);
    // What the console has sent, waiting up to timeout for at least `bytes` of it.
    std::string read(std::size_t bytes, std::chrono::milliseconds timeout = DefaultWait);
    // The far end goes away, as when an adapter is pulled out.
    void closeMaster();

private:
    // Waits up to timeout for bytes, then reads what is there.
    std::string readOnce(std::chrono::milliseconds timeout);

    int m_master = -1;
    std::string m_slavePath;
};
