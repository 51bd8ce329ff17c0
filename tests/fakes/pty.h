#pragma once

#include <chrono>
#include <string>

// A pseudo-terminal pair for tests: the test holds the master, the console opens the slave as its port.
class Pty
{
public:
    Pty();
    ~Pty();
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    const std::string &slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }
    void write(const std::string &bytes);
    // What the console has sent so far, waiting up to timeout for at least `bytes` of it.
    std::string read(std::size_t bytes, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
    // The far end goes away, as when an adapter is pulled out.
    void closeMaster();

private:
    int m_master = -1;
    std::string m_slavePath;
};
