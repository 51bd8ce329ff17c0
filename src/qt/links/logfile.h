#pragma once

#include "link/trafficlog.h"

#include <memory>
#include <string>

// The traffic log's file, opened for appending without waiting: a FIFO with no reader is refused at
// once rather than waited on. A regular file, a FIFO with a reader or a character device (/dev/null)
// is taken; only a regular file grows and moves to FILE.1. Throws std::runtime_error, naming the file
// and the reason, when it cannot be opened.
std::unique_ptr<LogSink> openLogFile(const std::string &path);
