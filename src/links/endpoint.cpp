#include "links/endpoint.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <stdexcept>

namespace {
constexpr std::string_view AutoWord = "auto";
constexpr std::string_view SchemeMark = "://";
constexpr unsigned MaxTcpPort = 65535;

struct Scheme
{
    std::string_view name;
    Endpoint::Kind kind;
};

constexpr Scheme Schemes[] = {
    {"tcp", Endpoint::Kind::Tcp},
    {"rfc2217", Endpoint::Kind::Rfc2217},
};

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

[[noreturn]] void refuse(std::string_view text, std::string_view reason)
{
    throw std::invalid_argument(std::string(text) + ": " + std::string(reason));
}

// "HOST:PORT" or "[IPV6]:PORT" after the scheme.
void parseHostAndPort(std::string_view text, std::string_view rest, Endpoint &endpoint)
{
    std::string_view host;
    std::string_view afterHost;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos)
            refuse(text, "the host's closing ] is missing");
        host = rest.substr(1, close - 1);
        afterHost = rest.substr(close + 1);
        if (!afterHost.empty() && !afterHost.starts_with(':'))
            refuse(text, "a : and the port must follow the host");
    } else {
        const std::size_t colon = rest.rfind(':');
        host = rest.substr(0, colon);
        afterHost = colon == std::string_view::npos ? std::string_view() : rest.substr(colon);
        if (host.find(':') != std::string_view::npos)
            refuse(text, "write an IPv6 address in brackets, as [::1]:4001");
    }
    if (host.empty())
        refuse(text, "no host given");
    if (afterHost.size() <= 1)
        refuse(text, "no port given");
    const std::string_view digits = afterHost.substr(1);
    unsigned port = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > MaxTcpPort)
        refuse(text, "port must be 1 to 65535");
    endpoint.host = std::string(host);
    endpoint.port = static_cast<std::uint16_t>(port);
}
} // namespace

Endpoint parseEndpoint(std::string_view text)
{
    Endpoint endpoint;
    endpoint.text = std::string(text);
    if (text.empty())
        throw std::invalid_argument("an empty endpoint: give a device path, auto, tcp://HOST:PORT or "
                                    "rfc2217://HOST:PORT");
    if (equalsIgnoringCase(text, AutoWord))
        return endpoint;
    const std::size_t mark = text.find(SchemeMark);
    if (mark == std::string_view::npos) {
        endpoint.kind = Endpoint::Kind::Device;
        endpoint.device = endpoint.text;
        return endpoint;
    }
    const std::string_view scheme = text.substr(0, mark);
    const auto known = std::find_if(std::begin(Schemes), std::end(Schemes),
                                    [&](const Scheme &s) { return equalsIgnoringCase(s.name, scheme); });
    if (known == std::end(Schemes))
        refuse(text, "unknown kind of endpoint (give a device path, auto, tcp://HOST:PORT or "
                     "rfc2217://HOST:PORT)");
    endpoint.kind = known->kind;
    parseHostAndPort(text, text.substr(mark + SchemeMark.size()), endpoint);
    return endpoint;
}
