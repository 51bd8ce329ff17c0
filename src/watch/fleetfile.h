#pragma once

#include "watch/fleetobserver.h"

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The fleet file a technician writes by hand: one projector a line, "NAME ENDPOINT [SPEED] [KEY=VALUE...]"
// separated by blanks, each key at most once (group=NAME,
// pjlink=[HOST:]PORT, lend=[HOST:]PORT); '#' starts a comment and blank lines are skipped.
// Bounded, so that a file gone wrong or made hostile is refused rather than held.
struct FleetFile
{
    static constexpr std::size_t FileLimitBytes = 1024 * 1024;
    static constexpr std::size_t LineLimitBytes = 1024;
    static constexpr std::size_t NameLimitBytes = 64;
    static constexpr std::size_t ProjectorLimit = 4096;
};

// What is wrong with a fleet file, as one line: "FILE:LINE: what".
class FleetFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The addresses a network endpoint's host stands for, as its link would connect to them. Two lines whose
// servers share an address and a port are one server, and their watches would knock each other off.
using HostAddresses = std::function<std::vector<std::string>(const std::string &host)>;

// The host as written, case aside: what can be told without asking the network.
std::vector<std::string> hostAsWritten(const std::string &host);

// The projectors of the file's text, in its order; `file` names it in errors. Throws FleetFileError.
std::vector<FleetProjector> parseFleetFile(std::string_view text, const std::string &file,
                                           const HostAddresses &addresses = hostAsWritten);
