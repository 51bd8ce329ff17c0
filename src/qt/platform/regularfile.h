#pragma once

#include <cstddef>
#include <string>

// Up to `limit` bytes of a regular file, read whole. A FIFO, a device or a directory is refused without
// waiting: opening a FIFO for reading would otherwise block until something writes to it. Throws
// std::runtime_error with the reason alone ("not a regular file", "No such file or directory").
std::string readRegularFile(const std::string &path, std::size_t limit);
