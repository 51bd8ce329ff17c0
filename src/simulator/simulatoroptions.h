#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How the simulated projector shapes its replies; the defaults answer promptly and whole.
struct SimulatorOptions
{
    std::chrono::milliseconds replyDelay{20};
    int pieces = 1;
    std::chrono::milliseconds pieceGap{10};
    int dropEvery = 0;  // every Nth reply is never sent; 0 sends all
    int noiseBytes = 0; // bytes of noise put before each reply
};

// Where the simulator serves TCP clients: an IPv4 address, an IPv6 address (without its brackets) or
// "localhost", and a port, 0 for any free one.
struct ListenAddress
{
    std::string host;
    std::uint16_t port = 0;
};

// The outcome of reading the simulator's command line: run with options, or print and exit.
struct SimulatorCommandLine
{
    bool run = false;
    int exitCode = 0;
    std::string output; // for stdout
    std::string error;  // one line for stderr
    SimulatorOptions options;
    std::optional<ListenAddress> listen; // none: a pseudo-terminal
    bool verbose = false;                // the exchange on stderr
};

// Reads the arguments after the program name; --version prints `version`.
SimulatorCommandLine parseSimulatorCommandLine(const std::vector<std::string> &arguments,
                                               std::string_view version);
// The one line for stderr about a wrong command line, saying where to look.
std::string simulatorUsageError(const std::string &message);
