#include "qt/links/posixdevice.h"

#include <poll.h>

bool lineTakesDataNow(int handle)
{
    pollfd line{handle, POLLOUT, 0};
    return ::poll(&line, 1, 0) > 0 && line.revents != 0;
}
