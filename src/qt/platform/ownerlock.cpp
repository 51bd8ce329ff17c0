#include "qt/platform/ownerlock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
[[noreturn]] void refuseWith(int error)
{
    throw std::runtime_error(std::strerror(error));
}

// A POSIX lock of the whole file: `type` to take, or to ask who keeps it off.
struct flock wholeFile(short type)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

// The pid of the process whose POSIX lock keeps a write lock off the file; 0 when none does.
int holderOf(int descriptor)
{
    struct flock probe = wholeFile(F_WRLCK);
    if (::fcntl(descriptor, F_GETLK, &probe) != 0 || probe.l_type == F_UNLCK)
        return 0;
    return int(probe.l_pid);
}

// Names this process to a refused one; without it the refusal only names no pid, so a failure is no
// failure of the hold.
void markHolder(int descriptor)
{
    struct flock mark = wholeFile(F_RDLCK);
    static_cast<void>(::fcntl(descriptor, F_SETLK, &mark));
}

// A descriptor of the file with the hold taken on it.
int hold(const std::string &path)
{
    // O_NONBLOCK: a FIFO at the path is refused by its reader, not waited on here.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0)
        refuseWith(errno);
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        const int holder = error == EWOULDBLOCK ? holderOf(descriptor) : 0;
        ::close(descriptor);
        if (error == EWOULDBLOCK)
            throw OwnerLockHeld(holder);
        refuseWith(error);
    }
    markHolder(descriptor);
    return descriptor;
}

bool sameFile(const struct stat &one, const struct stat &other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}
} // namespace

OwnerLockHeld::OwnerLockHeld(int holder)
    : std::runtime_error("held by " + std::to_string(holder)), m_holder(holder)
{
}

OwnerLock::OwnerLock(std::string path) : m_path(std::move(path)), m_descriptor(hold(m_path)) {}

OwnerLock::~OwnerLock()
{
    ::close(m_descriptor);
}

void OwnerLock::renew()
{
    struct stat named = {};
    struct stat held = {};
    if (::stat(m_path.c_str(), &named) != 0 || ::fstat(m_descriptor, &held) != 0)
        refuseWith(errno);
    if (sameFile(named, held)) {
        markHolder(m_descriptor);
        return;
    }
    const int descriptor = hold(m_path);
    ::close(m_descriptor);
    m_descriptor = descriptor;
}
