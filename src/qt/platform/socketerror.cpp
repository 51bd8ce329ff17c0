#include "qt/platform/socketerror.h"

#include <sys/socket.h>

std::optional<int> failedConnectError(int socket)
{
    sockaddr_storage peer{};
    socklen_t peerSize = sizeof peer;
    if (getpeername(socket, reinterpret_cast<sockaddr *>(&peer), &peerSize) == 0)
        return std::nullopt;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return 0;
    return error;
}
