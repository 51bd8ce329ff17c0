#pragma once

#include <optional>

// For a socket whose connect has ended (it became readable or writable): nullopt when it is connected,
// else the error its connect ended with, or 0 when a read or write has taken that error already.
std::optional<int> failedConnectError(int socket);
