#include "qt/platform/regularfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Closes the descriptor on every way out.
struct Descriptor
{
    int handle = -1;
    ~Descriptor()
    {
        if (handle >= 0)
            ::close(handle);
    }
};

[[noreturn]] void refuseWithErrno()
{
    throw std::runtime_error(std::strerror(errno));
}
} // namespace

std::string readRegularFile(const std::string &path, std::size_t limit)
{
    // O_NONBLOCK makes the open of a FIFO return at once; on a regular file it changes nothing.
    const Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.handle < 0)
        refuseWithErrno();
    struct stat status
    {
    };
    if (::fstat(file.handle, &status) != 0)
        refuseWithErrno();
    if (!S_ISREG(status.st_mode))
        throw std::runtime_error("not a regular file");
    std::string text(limit, '\0');
    std::size_t filled = 0;
    while (filled < limit) {
        const ssize_t got = ::read(file.handle, text.data() + filled, limit - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            refuseWithErrno();
        if (got == 0)
            break;
        filled += std::size_t(got);
    }
    text.resize(filled);
    return text;
}
