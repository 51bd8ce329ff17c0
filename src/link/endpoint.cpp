#include "link/endpoint.h"

#include "link/hostport.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace {
constexpr std::string_view AutoWord = "auto";
constexpr std::string_view SchemeMark = "://";
constexpr std::uint16_t LowestTcpPort = 1;

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
    try {
        const HostPort address = parseHostPort(text.substr(mark + SchemeMark.size()), LowestTcpPort);
        endpoint.host = address.host;
        endpoint.port = address.port;
    } catch (const std::invalid_argument &error) {
        refuse(text, error.what());
    }
    return endpoint;
}
