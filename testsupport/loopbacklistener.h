#pragma once

#include <chrono>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <string_view>
#include <vector>

// A port on 127.0.0.1 that nothing listens on when asked; refused at once.
std::uint16_t freeLoopbackPort();
// Whether something listens on the loopback port, seen in the kernel's table rather than by connecting:
// a server may refuse a client that comes while it is still ending a session with the one before.
bool loopbackListening(std::uint16_t port);
// 127.0.0.1 and the port, for a socket of one's own.
sockaddr_in loopbackAddress(std::uint16_t port);

// A TCP listener on 127.0.0.1 that the test drives by hand: it accepts only when told and reads only when
// told, so a far end that never reads, or one that never answers, is a real socket.
class LoopbackListener
{
public:
    LoopbackListener();
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener &) = delete;
    LoopbackListener &operator=(const LoopbackListener &) = delete;

    std::uint16_t port() const { return m_port; }
    // Fills the accept queue with connections never accepted: a new connection then gets no answer.
    void fillAcceptQueue();
    // Takes the connection waiting in the queue; false when none came within the wait.
    bool accept(std::chrono::milliseconds wait);
    // Everything the accepted connection has sent, until it stays quiet for `quiet`.
    std::string readUntilQuiet(std::chrono::milliseconds quiet);
    // What the accepted connection has sent and nobody has read yet, without waiting.
    std::string readAvailable();
    // Sends what the kernel takes now, without waiting: the number of bytes taken.
    std::size_t send(std::string_view bytes);
    // The accepted connection ends, as when the server goes away.
    void hangUp();

private:
    int m_listener = -1;
    int m_peer = -1;
    std::vector<int> m_waiting;
    std::uint16_t m_port = 0;
};
