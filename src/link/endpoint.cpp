#include "link/endpoint.h"

#include "link/hostport.h"
#include "link/portchoice.h"
#include "wire/printable.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

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

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// "a device path, auto, tcp://HOST:PORT or rfc2217://HOST:PORT"
std::string kindsInWords()
{
    std::string words;
    const std::size_t count = std::size(EndpointKinds);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            words += i + 1 == count ? " or " : ", ";
        words += EndpointKinds[i].form;
    }
    return words;
}

[[noreturn]] void refuse(std::string_view text, std::string_view reason)
{
    throw std::invalid_argument(printable(text) + ": " + std::string(reason));
}

} // namespace

Endpoint parseEndpoint(std::string_view text)
{
    Endpoint endpoint;
    endpoint.text = std::string(text);
    if (text.empty())
        throw std::invalid_argument("an empty endpoint: give " + kindsInWords());
    if (equalsIgnoringCase(text, AutoWord))
        return endpoint;
    const std::size_t mark = text.find(SchemeMark);
    if (mark == std::string_view::npos) {
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
        refuse(text, "unknown kind of endpoint (give " + kindsInWords() + ")");
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
