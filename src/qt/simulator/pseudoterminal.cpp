#include "qt/simulator/pseudoterminal.h"

#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

PseudoTerminal openPseudoTerminal()
{
    // Close-on-exec: a program started meanwhile must not hold the line open after its owner lets go.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    const char *slave = ::grantpt(master) == 0 && ::unlockpt(master) == 0 ? ::ptsname(master) : nullptr;
    // Termios calls on the master act on the slave.
    termios raw{};
    if (slave == nullptr || ::tcgetattr(master, &raw) != 0) {
        ::close(master);
        throw std::runtime_error("cannot open a pseudo-terminal");
    }
    ::cfmakeraw(&raw);
    ::tcsetattr(master, TCSANOW, &raw);
    return {master, slave};
}
