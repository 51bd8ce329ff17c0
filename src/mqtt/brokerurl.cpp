#include "mqtt/brokerurl.h"

#include "link/hostport.h"

#include <stdexcept>

namespace {
constexpr std::string_view PlainScheme = "mqtt://";
constexpr std::string_view TlsScheme = "mqtts://";
constexpr std::uint16_t LowestPort = 1;

bool hasPort(std::string_view hostPort)
{
    if (hostPort.starts_with('['))
        return hostPort.find("]:") != std::string_view::npos;
    return hostPort.find(':') != std::string_view::npos;
}
} // namespace

BrokerUrl parseBrokerUrl(std::string_view text)
{
    BrokerUrl url;
    if (text.starts_with(TlsScheme)) {
        url.tls = true;
        url.port = BrokerUrl::DefaultTlsPort;
        text.remove_prefix(TlsScheme.size());
    } else if (text.starts_with(PlainScheme)) {
        text.remove_prefix(PlainScheme.size());
    } else {
        throw std::invalid_argument("the URL starts with mqtt:// or mqtts://");
    }
    if (text.find_first_of("/?#") != std::string_view::npos)
        throw std::invalid_argument("the URL names a broker only, without a path");
    if (const std::size_t at = text.rfind('@'); at != std::string_view::npos) {
        if (at == 0)
            throw std::invalid_argument("the user before @ is empty");
        url.user = std::string(text.substr(0, at));
        text.remove_prefix(at + 1);
    }
    std::string hostPort(text);
    if (!hasPort(text))
        hostPort.append(":").append(std::to_string(url.port));
    const HostPort address = parseHostPort(hostPort, LowestPort);
    url.host = address.host;
    url.port = address.port;
    return url;
}
