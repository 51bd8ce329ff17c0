#include "qt/platform/descriptorlimit.h"

#include <algorithm>
#include <sys/resource.h>

namespace {
// What the process holds open besides its lines: standard streams, the event loop's own, the traffic
// log, the stop signals' pipe, and what the outputs it feeds open.
constexpr rlim_t OwnOpenFiles = 64;
} // namespace

std::optional<std::string> roomForOpenFiles(std::size_t wanted)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return std::nullopt;
    const rlim_t needed = rlim_t(wanted) + OwnOpenFiles;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < needed) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? needed : std::min(needed, limit.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= needed)
        return std::nullopt;
    return std::to_string(wanted) + " projectors need " + std::to_string(needed) +
           " open files, and this process may open " + std::to_string(limit.rlim_cur) +
           " (raise it with ulimit -n)";
}
