#include "simulator/simulatoroptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace {
constexpr int UsageExitCode = 2;
constexpr int MaxDelayMs = 60000;
constexpr int MaxPieces = 64;
constexpr int MaxDropEvery = 1000000;
constexpr int MaxNoiseBytes = 1024;
constexpr int MaxPort = std::numeric_limits<std::uint16_t>::max();
constexpr int MaxOctet = 255;
constexpr int Octets = 4;

constexpr std::string_view HelpText =
    "Usage: tavo-projector-sim [options]\n"
    "Opens a pseudo-terminal, prints the device to connect the console to, and answers like a "
    "projector.\n"
    "\n"
    "Options:\n"
    "  --listen HOST:PORT\n"
    "                    serve one TCP client at a time on HOST:PORT instead, and print tcp://HOST:PORT;\n"
    "                    HOST is an IP address, localhost or [IPv6]; PORT 0 takes a free port\n"
    "  --delay MS        wait MS milliseconds before each reply (default 20)\n"
    "  --pieces N        send each reply in N pieces (default 1)\n"
    "  --piece-gap MS    wait MS milliseconds between pieces (default 10)\n"
    "  --drop-every N    never send every Nth reply (default 0: send all)\n"
    "  --noise N         put N noise bytes before each reply (default 0)\n"
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
    void (*store)(SimulatorOptions &, int);
};

const NumericOption NumericOptions[] = {
    {"--delay", 0, MaxDelayMs,
     [](SimulatorOptions &o, int v) { o.replyDelay = std::chrono::milliseconds(v); }},
    {"--pieces", 1, MaxPieces, [](SimulatorOptions &o, int v) { o.pieces = v; }},
    {"--piece-gap", 0, MaxDelayMs,
     [](SimulatorOptions &o, int v) { o.pieceGap = std::chrono::milliseconds(v); }},
    {"--drop-every", 0, MaxDropEvery, [](SimulatorOptions &o, int v) { o.dropEvery = v; }},
    {"--noise", 0, MaxNoiseBytes, [](SimulatorOptions &o, int v) { o.noiseBytes = v; }},
};

const NumericOption *findNumericOption(std::string_view name)
{
    const auto found = std::find_if(std::begin(NumericOptions), std::end(NumericOptions),
                                    [name](const NumericOption &option) { return option.name == name; });
    return found == std::end(NumericOptions) ? nullptr : found;
}

bool isIpv4(std::string_view host)
{
    for (int octet = 0; octet < Octets; ++octet) {
        const std::size_t dot = host.find('.');
        const std::string_view part = host.substr(0, dot);
        if (part.empty() || part.size() > 3 || !readInt(part, 0, MaxOctet))
            return false;
        if ((dot == std::string_view::npos) != (octet == Octets - 1))
            return false;
        host.remove_prefix(dot == std::string_view::npos ? host.size() : dot + 1);
    }
    return true;
}

// Only the characters of an IPv6 address; the platform reads the rest.
bool looksLikeIpv6(std::string_view host)
{
    return host.find(':') != std::string_view::npos && std::all_of(host.begin(), host.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
           });
}

std::optional<ListenAddress> readListenAddress(std::string_view text, std::string &why)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        why = "is not HOST:PORT";
        return std::nullopt;
    }
    std::string_view host = text.substr(0, colon);
    const std::optional<int> port = readInt(text.substr(colon + 1), 0, MaxPort);
    if (!port) {
        why = "has no port from 0 to 65535";
        return std::nullopt;
    }
    const bool bracketed = host.size() > 2 && host.front() == '[' && host.back() == ']';
    if (bracketed)
        host = host.substr(1, host.size() - 2);
    if (!(bracketed ? looksLikeIpv6(host) : host == "localhost" || isIpv4(host))) {
        why = "has no IP address or localhost before the port";
        return std::nullopt;
    }
    return ListenAddress{std::string(host), static_cast<std::uint16_t>(*port)};
}

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
            std::string why;
            result.listen = readListenAddress(*value, why);
            if (!result.listen)
                return usageError("'" + std::string(*value) + "' for '--listen' " + why);
            continue;
        }
        const std::optional<int> number = readInt(*value, option->min, option->max);
        if (!number)
            return usageError("bad value '" + std::string(*value) + "' for '" + std::string(name) + "' (" +
                              std::to_string(option->min) + " to " + std::to_string(option->max) + ")");
        option->store(result.options, *number);
    }
    result.run = true;
    return result;
}
