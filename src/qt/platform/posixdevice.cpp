#include "qt/platform/posixdevice.h"

#include "link/devicerights.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
// Where serial programs leave their lock files ("LCK..ttyUSB0"), QSerialPort's among them.
constexpr const char *LockDirectories[] = {"/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
                                           "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};
constexpr std::string_view DevPrefix = "/dev/";
constexpr const char *ByIdDirectory = "/dev/serial/by-id";

SerialError notASerialDevice(const std::string &what)
{
    return SerialError(SerialError::OpenFailed, what + ", not a serial device");
}

SerialError systemFailure(int error)
{
    return SerialError(SerialError::OpenFailed,
                       std::string("cannot be opened (") + std::strerror(error) + ")");
}

bool processHasGroup(gid_t group)
{
    if (::getegid() == group)
        return true;
    std::vector<gid_t> groups(std::size_t(std::max(::getgroups(0, nullptr), 0)));
    groups.resize(std::size_t(std::max(::getgroups(int(groups.size()), groups.data()), 0)));
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

bool userListedIn(const group &entry)
{
    const passwd *user = ::getpwuid(::geteuid());
    if (user == nullptr)
        return false;
    for (char **member = entry.gr_mem; member != nullptr && *member != nullptr; ++member)
        if (std::strcmp(*member, user->pw_name) == 0)
            return true;
    return false;
}

SerialError noPermission(const struct stat &device)
{
    DeviceRights rights;
    rights.ownedByRoot = device.st_uid == 0;
    rights.groupMayOpen = (device.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    rights.othersMayOpen = (device.st_mode & (S_IROTH | S_IWOTH)) == (S_IROTH | S_IWOTH);
    rights.inGroup = processHasGroup(device.st_gid);
    if (const group *entry = ::getgrgid(device.st_gid)) {
        rights.group = entry->gr_name;
        rights.listedInGroup = userListedIn(*entry);
    }
    return SerialError(SerialError::NoPermission, noPermissionReason(rights));
}

std::optional<SerialError> statFault(const std::string &path, int error)
{
    switch (error) {
    case ENAMETOOLONG:
        return SerialError(SerialError::OpenFailed,
                           "the name is too long (" + std::to_string(path.size()) + " characters)");
    case ENOENT:
    case ENOTDIR:
        return SerialError(SerialError::NoSuchDevice, "no such device");
    case EACCES:
        return SerialError(SerialError::NoPermission, "no permission to reach it");
    default:
        return systemFailure(error);
    }
}

std::optional<SerialError> kindFault(mode_t mode)
{
    if (S_ISDIR(mode))
        return notASerialDevice("is a directory");
    if (S_ISREG(mode))
        return notASerialDevice("is a file");
    if (S_ISFIFO(mode))
        return notASerialDevice("is a FIFO");
    if (S_ISSOCK(mode))
        return notASerialDevice("is a socket");
    if (!S_ISCHR(mode))
        return notASerialDevice("is a block device");
    return std::nullopt;
}

std::string lockName(const std::string &path)
{
    std::string name = path.starts_with(DevPrefix) ? path.substr(DevPrefix.size()) : path;
    std::replace(name.begin(), name.end(), '/', '_');
    return "LCK.." + name;
}

bool processAlive(long pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

std::string processName(long pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}
} // namespace

bool lineTakesDataNow(int handle)
{
    pollfd line{handle, POLLOUT, 0};
    return ::poll(&line, 1, 0) > 0 && line.revents != 0;
}

std::optional<SerialError> deviceFault(const std::string &path)
{
    struct stat device
    {
    };
    if (::stat(path.c_str(), &device) != 0)
        return statFault(path, errno);
    if (auto fault = kindFault(device.st_mode))
        return fault;
    if (::access(path.c_str(), R_OK | W_OK) != 0)
        return errno == EACCES || errno == EPERM ? noPermission(device) : systemFailure(errno);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY)
            return std::nullopt; // held by another program: the caller says which
        if (errno == ENXIO || errno == ENODEV)
            return SerialError(SerialError::NoSuchDevice, "no such device");
        return errno == EACCES || errno == EPERM ? noPermission(device) : systemFailure(errno);
    }
    const bool terminal = ::isatty(fd) != 0;
    ::close(fd);
    if (!terminal)
        return SerialError(SerialError::OpenFailed, "not a serial device");
    return std::nullopt;
}

std::string deviceHolder(const std::string &path)
{
    for (const char *directory : LockDirectories) {
        std::ifstream lock(std::string(directory) + "/" + lockName(path));
        if (!lock)
            continue;
        // QSerialPort writes "1234\nname\n...", minicom "      1234 minicom user", others the pid alone.
        long pid = 0;
        std::string name;
        lock >> pid >> name;
        if (!processAlive(pid))
            continue;
        if (name.empty())
            name = processName(pid);
        return "process " + std::to_string(pid) + (name.empty() ? "" : ", " + name);
    }
    return {};
}

std::string byIdName(const std::string &device)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(device, error);
    if (error)
        return {};
    for (const auto &entry : std::filesystem::directory_iterator(ByIdDirectory, error)) {
        std::error_code linkError;
        const std::filesystem::path leadsTo = std::filesystem::canonical(entry.path(), linkError);
        if (!linkError && leadsTo == target)
            return entry.path().string();
    }
    return {};
}
