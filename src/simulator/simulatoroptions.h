#pragma once

#include "link/hostport.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How the simulated projector shapes its replies and how long its lamp warms and cools; the defaults
// answer promptly and whole.
struct SimulatorOptions
{
    static constexpr std::chrono::milliseconds DefaultWarmUp{3000};
    static constexpr std::chrono::milliseconds DefaultCoolDown{4000};

    std::chrono::milliseconds replyDelay{20};
    int pieces = 1;
    std::chrono::milliseconds pieceGap{10};
    int dropEvery = 0;  // every Nth reply is never sent; 0 sends all
    int noiseBytes = 0; // bytes of noise put before each reply
    // Count-down after power on and cooling after power off; power commands are ignored during either.
    std::chrono::milliseconds warmUp = DefaultWarmUp;
    std::chrono::milliseconds coolDown = DefaultCoolDown;
};

// The outcome of reading the simulator's command line: run with options, or print and exit.
struct SimulatorCommandLine
{
    bool run = false;
    int exitCode = 0;
    std::string output; // for stdout
    std::string error;  // one line for stderr
    SimulatorOptions options;
    std::optional<HostPort> listen; // where TCP clients are served; none: a pseudo-terminal
    int count = 1;                  // projectors served, on listen's port and those after it
    bool verbose = false;           // the exchange on stderr
};

// The most projectors one simulator serves with --count: each takes a listening socket and a client's.
constexpr int MaxProjectorCount = 1000;

// Reads the arguments after the program name; --version prints `version`.
SimulatorCommandLine parseSimulatorCommandLine(const std::vector<std::string> &arguments,
                                               std::string_view version);
// The one line for stderr about a wrong command line, saying where to look.
std::string simulatorUsageError(const std::string &message);
