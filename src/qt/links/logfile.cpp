#include "qt/links/logfile.h"

#include "qt/platform/pipesignal.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// How often a write waiting on a slow reader looks whether the log has given up on it.
constexpr std::chrono::milliseconds WritePollSlice{50};
// Also non-blocking: a FIFO's open fails at once without a reader, and its writes never wait unseen.
constexpr int OpenFlags = O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC;
constexpr mode_t NewFileMode = 0666;

std::runtime_error cannotOpen(const std::string &path, const std::string &reason)
{
    return std::runtime_error("the traffic log " + path + " cannot be opened for appending (" + reason + ")");
}

std::string openFailure(const std::string &path, int error)
{
    struct stat status = {};
    if (error == ENXIO && ::stat(path.c_str(), &status) == 0) {
        if (S_ISFIFO(status.st_mode))
            return "a FIFO with no reader; start the reader first";
        if (S_ISSOCK(status.st_mode))
            return "a socket, not a file";
    }
    if (error == EISDIR)
        return "a directory, not a file";
    return std::strerror(error);
}

std::string writeFailure(int error)
{
    return error == EPIPE ? "the FIFO's reader went away" : std::strerror(error);
}

class LogFile : public LogSink
{
public:
    LogFile(std::string path, int descriptor, std::optional<std::uint64_t> size)
        : m_path(std::move(path)), m_descriptor(descriptor), m_size(size)
    {
    }
    ~LogFile() override { ::close(m_descriptor); }
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;

    Result write(std::string_view bytes, const std::atomic<bool> &giveUp) override
    {
        keepPipeSignalFromThisThread();
        while (!bytes.empty()) {
            const ssize_t written = ::write(m_descriptor, bytes.data(), bytes.size());
            if (written >= 0) {
                bytes.remove_prefix(std::size_t(written));
                if (m_size)
                    *m_size += std::uint64_t(written);
                continue;
            }
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                return {Result::Outcome::Failed, writeFailure(errno)};
            if (giveUp)
                return {Result::Outcome::GaveUp, {}};
            pollfd ready{m_descriptor, POLLOUT, 0};
            ::poll(&ready, 1, int(WritePollSlice.count()));
        }
        return {};
    }

    std::optional<std::uint64_t> size() const override { return m_size; }

    std::optional<std::string> startAfresh() override
    {
        const std::string older = m_path + ".1";
        // FILE deleted or moved away while the log ran (by hand, by logrotate): nothing of ours is left to
        // move, and what stands at FILE now, if anything, is not ours to truncate.
        const bool stillOurs = holdsPath();
        if (stillOurs && ::rename(m_path.c_str(), older.c_str()) != 0)
            return "it could not move to " + older + ": " + std::strerror(errno);
        const int fresh = ::open(m_path.c_str(), stillOurs ? OpenFlags | O_TRUNC : OpenFlags, NewFileMode);
        if (fresh < 0)
            return "a fresh file could not be made at " + m_path + ": " + std::strerror(errno);
        struct stat status = {};
        ::fstat(fresh, &status);
        ::close(m_descriptor);
        m_descriptor = fresh;
        m_size = stillOurs ? 0 : std::uint64_t(status.st_size);
        return std::nullopt;
    }

private:
    // Whether FILE is still the file this log writes to.
    bool holdsPath() const
    {
        struct stat atPath = {};
        struct stat ours = {};
        return ::stat(m_path.c_str(), &atPath) == 0 && ::fstat(m_descriptor, &ours) == 0 &&
               atPath.st_dev == ours.st_dev && atPath.st_ino == ours.st_ino;
    }

    std::string m_path;
    int m_descriptor;
    std::optional<std::uint64_t> m_size;
};
} // namespace

std::unique_ptr<LogSink> openLogFile(const std::string &path)
{
    const int descriptor = ::open(path.c_str(), OpenFlags, NewFileMode);
    if (descriptor < 0)
        throw cannotOpen(path, openFailure(path, errno));
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0) {
        const int error = errno;
        ::close(descriptor);
        throw cannotOpen(path, std::strerror(error));
    }
    if (!S_ISREG(status.st_mode) && !S_ISFIFO(status.st_mode) && !S_ISCHR(status.st_mode)) {
        ::close(descriptor);
        throw cannotOpen(path, S_ISBLK(status.st_mode) ? "a block device, not a file" : "not a file");
    }
    std::optional<std::uint64_t> size;
    if (S_ISREG(status.st_mode))
        size = std::uint64_t(status.st_size);
    return std::make_unique<LogFile>(path, descriptor, size);
}
