#include "link/endpoint.h"

#include "link/hostport.h"
#include "link/portchoice.h"
#include "wire/printable.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <vector>

namespace {
constexpr std::string_view SchemeMark = "://";
constexpr std::uint16_t LowestTcpPort = 1;
constexpr std::string_view Ordinals[] = {"first", "second"};

// One kind of endpoint: how the operator writes it and what it reaches. A new kind is a row here, its
// link, and its case where links are made.
struct EndpointKind
{
    Endpoint::Kind kind;
    std::string_view form;    // as --help and the messages write it
    std::string_view scheme;  // before "://"; empty for a kind written without one
    std::string_view reaches; // for --help; empty where the form says it all
};

constexpr EndpointKind EndpointKinds[] = {
    {Endpoint::Kind::Device, "a device path", {}, {}},
    {Endpoint::Kind::Auto, "auto", {}, {}},
    {Endpoint::Kind::Tcp, "tcp://HOST:PORT", "tcp",
     "a serial device server, whose own setting is the line's speed"},
    {Endpoint::Kind::Rfc2217, "rfc2217://HOST:PORT", "rfc2217",
     "a server that takes the speed from the console"},
};

constexpr std::string_view AutoWord = EndpointKinds[1].form;
constexpr std::string_view AbsoluteDevice = "an absolute device path";

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// "a device path, auto, tcp://HOST:PORT or rfc2217://HOST:PORT" on the command line; "an absolute device
// path, tcp://HOST:PORT or rfc2217://HOST:PORT" in a fleet file.
std::string kindsInWords(EndpointPlace place)
{
    std::vector<std::string_view> forms;
    for (const EndpointKind &k : EndpointKinds) {
        if (place == EndpointPlace::CommandLine || k.kind == Endpoint::Kind::Tcp ||
            k.kind == Endpoint::Kind::Rfc2217)
            forms.push_back(k.form);
        else if (k.kind == Endpoint::Kind::Device)
            forms.push_back(AbsoluteDevice);
    }
    std::string words;
    for (std::size_t i = 0; i < forms.size(); ++i) {
        if (i > 0)
            words += i + 1 == forms.size() ? " or " : ", ";
        words += forms[i];
    }
    return words;
}

[[noreturn]] void refuse(std::string_view text, std::string_view reason)
{
    throw std::invalid_argument(printable(text) + ": " + std::string(reason));
}

// A device path in a fleet file: absolute, and not a network address that lost its scheme.
void checkFleetDevice(std::string_view text)
{
    if (text.starts_with('/'))
        return;
    try {
        parseHostPort(text, LowestTcpPort);
    } catch (const std::invalid_argument &) {
        refuse(text, "a device path in a fleet file is absolute, as /dev/ttyUSB0");
    }
    refuse(text, "a device path in a fleet file is absolute; did you mean tcp://" + printable(text) + "?");
}

} // namespace

Endpoint parseEndpoint(std::string_view text, EndpointPlace place)
{
    Endpoint endpoint;
    endpoint.text = std::string(text);
    if (text.empty())
        throw std::invalid_argument("an empty endpoint: give " + kindsInWords(place));
    if (equalsIgnoringCase(text, AutoWord))
        return endpoint;
    const std::size_t mark = text.find(SchemeMark);
    if (mark == std::string_view::npos) {
        if (place == EndpointPlace::FleetFile)
            checkFleetDevice(text);
        endpoint.kind = Endpoint::Kind::Device;
        endpoint.device = endpoint.text;
        return endpoint;
    }
    const std::string_view scheme = text.substr(0, mark);
    const auto known =
        std::find_if(std::begin(EndpointKinds), std::end(EndpointKinds), [&](const EndpointKind &k) {
            return !k.scheme.empty() && equalsIgnoringCase(k.scheme, scheme);
        });
    if (known == std::end(EndpointKinds))
        refuse(text, "unknown kind of endpoint (give " + kindsInWords(place) + ")");
    endpoint.kind = known->kind;
    try {
        const HostPort address = parseHostPort(text.substr(mark + SchemeMark.size()), LowestTcpPort);
        endpoint.host = address.host;
        endpoint.port = address.port;
    } catch (const std::invalid_argument &error) {
        refuse(text, error.what());
    }
    return endpoint;
}

std::string endpointHelp(int comPort)
{
    std::string help = "Where COM" + std::to_string(comPort) + " reaches the projector: ";
    for (const EndpointKind &k : EndpointKinds) {
        if (&k != std::begin(EndpointKinds))
            help += "; ";
        help += k.form;
        if (k.kind == Endpoint::Kind::Auto)
            help += " (the default), the " + std::string(Ordinals[comPort - 1]) +
                    " USB serial adapter, else " + builtInPort(comPort);
        else if (!k.reaches.empty())
            help += ", " + std::string(k.reaches);
    }
    return help + ".";
}
