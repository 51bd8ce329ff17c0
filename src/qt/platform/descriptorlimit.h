#pragma once

#include <cstddef>
#include <optional>
#include <string>

// Makes room for `wanted` more open files than the process needs for itself, raising its own limit as far
// as the system lets it; nothing when there is room, else why not, in the operator's words.
std::optional<std::string> roomForOpenFiles(std::size_t wanted);
