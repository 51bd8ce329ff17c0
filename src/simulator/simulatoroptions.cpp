#include "simulator/simulatoroptions.h"

#include "program.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace {
constexpr int MaxDelayMs = 60000;
constexpr int MaxPieces = 64;
constexpr int MaxDropEvery = 1000000;
constexpr int MaxNoiseBytes = 1024;
// Longer than any lamp takes to warm or cool.
constexpr int MaxPowerChangeMs = 600000;

constexpr std::string_view HelpText =
    "Usage: tavo-projector-sim [options]\n"
    "Opens a pseudo-terminal, prints the device to connect the console to, and answers like a "
    "projector.\n"
    "\n"
    "Options:\n"
    "  --listen HOST:PORT\n"
    "                    serve one TCP client at a time on HOST:PORT instead, and print tcp://HOST:PORT;\n"
    "                    HOST is an IP address, localhost or [IPv6]; PORT 0 takes a free port\n"
    "  --count N         with --listen, serve N independent projectors (1 to 1000) on PORT to PORT+N-1,\n"
    "                    printing one endpoint per line; with PORT 0 each takes a free port of its own,\n"
    "                    not necessarily next to the others (default 1)\n"
    "  --delay MS        wait MS milliseconds before each reply (default 20)\n"
    "  --pieces N        send each reply in N pieces (default 1)\n"
    "  --piece-gap MS    wait MS milliseconds between pieces (default 10)\n"
    "  --drop-every N    never send every Nth reply (default 0: send all)\n"
    "  --noise N         put N noise bytes before each reply (default 0)\n"
    "  --warm-up MS      after power on, count down for MS milliseconds, ignoring power commands,\n"
    "                    then be on (default 3000; 0: on at once)\n"
    "  --cool-down MS    after power off, cool down for MS milliseconds, ignoring power commands,\n"
    "                    then be in standby (default 4000; 0: standby at once)\n"
    "  --verbose         write each line received and each reply sent to stderr, with times\n"
    "  --version         print the version and exit\n"
    "  --help            print this and exit\n";

std::optional<int> readInt(std::string_view text, int min, int max)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

// One numeric option: its name, its limits and where its value goes.
struct NumericOption
{
    std::string_view name;
    int min;
    int max;
    void (*store)(SimulatorCommandLine &, int);
};

const NumericOption NumericOptions[] = {
    {"--delay", 0, MaxDelayMs,
     [](SimulatorCommandLine &c, int v) { c.options.replyDelay = std::chrono::milliseconds(v); }},
    {"--pieces", 1, MaxPieces, [](SimulatorCommandLine &c, int v) { c.options.pieces = v; }},
    {"--piece-gap", 0, MaxDelayMs,
     [](SimulatorCommandLine &c, int v) { c.options.pieceGap = std::chrono::milliseconds(v); }},
    {"--drop-every", 0, MaxDropEvery, [](SimulatorCommandLine &c, int v) { c.options.dropEvery = v; }},
    {"--noise", 0, MaxNoiseBytes, [](SimulatorCommandLine &c, int v) { c.options.noiseBytes = v; }},
    {"--warm-up", 0, MaxPowerChangeMs,
     [](SimulatorCommandLine &c, int v) { c.options.warmUp = std::chrono::milliseconds(v); }},
    {"--cool-down", 0, MaxPowerChangeMs,
     [](SimulatorCommandLine &c, int v) { c.options.coolDown = std::chrono::milliseconds(v); }},
    {"--count", 1, MaxProjectorCount, [](SimulatorCommandLine &c, int v) { c.count = v; }},
};

const NumericOption *findNumericOption(std::string_view name)
{
    const auto found = std::find_if(std::begin(NumericOptions), std::end(NumericOptions),
                                    [name](const NumericOption &option) { return option.name == name; });
    return found == std::end(NumericOptions) ? nullptr : found;
}

// Any free port, 0, is the simulator's to take; the platform says whether the host is an address here.
constexpr std::uint16_t LowestListenPort = 0;

SimulatorCommandLine usageError(const std::string &message)
{
    SimulatorCommandLine result;
    result.exitCode = UsageExitCode;
    result.error = simulatorUsageError(message);
    return result;
}
} // namespace

std::string simulatorUsageError(const std::string &message)
{
    return "tavo-projector-sim: " + message + " (see --help)";
}

SimulatorCommandLine parseSimulatorCommandLine(const std::vector<std::string> &arguments,
                                               std::string_view version)
{
    SimulatorCommandLine result;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (argument == "--help" || argument == "--version") {
            SimulatorCommandLine printed;
            printed.output = argument == "--help" ? std::string(HelpText) : std::string(version) + '\n';
            return printed;
        }
        if (argument == "--verbose") {
            result.verbose = true;
            continue;
        }
        std::string_view name = argument;
        std::optional<std::string_view> value;
        if (const auto equals = argument.find('='); equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
        }
        const NumericOption *option = findNumericOption(name);
        if (!option && name != "--listen")
            return usageError("unknown option '" + std::string(argument) + "'");
        if (!value) {
            if (i + 1 == arguments.size())
                return usageError("missing value for '" + std::string(name) + "'");
            value = arguments[++i];
        }
        if (!option) {
            try {
                result.listen = parseHostPort(*value, LowestListenPort);
            } catch (const std::invalid_argument &error) {
                return usageError("'" + std::string(*value) + "' for '--listen': " + error.what());
            }
            continue;
        }
        const std::optional<int> number = readInt(*value, option->min, option->max);
        if (!number)
            return usageError("bad value '" + std::string(*value) + "' for '" + std::string(name) + "' (" +
                              std::to_string(option->min) + " to " + std::to_string(option->max) + ")");
        option->store(result, *number);
    }
    if (result.count > 1 && !result.listen)
        return usageError("'--count' serves projectors on TCP only: give '--listen' too");
    if (result.listen && result.listen->port != 0 &&
        result.listen->port + result.count - 1 > std::numeric_limits<std::uint16_t>::max())
        return usageError("'--count " + std::to_string(result.count) + "' from port " +
                          std::to_string(result.listen->port) + " runs past the last port, 65535");
    result.run = true;
    return result;
}
