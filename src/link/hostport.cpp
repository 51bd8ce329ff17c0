#include "link/hostport.h"

#include <charconv>
#include <limits>
#include <stdexcept>

namespace {
constexpr unsigned HighestPort = std::numeric_limits<std::uint16_t>::max();
} // namespace

HostPort parseHostPort(std::string_view text, std::uint16_t lowestPort)
{
    std::string_view host;
    std::string_view afterHost;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            throw std::invalid_argument("the host's closing ] is missing");
        host = text.substr(1, close - 1);
        afterHost = text.substr(close + 1);
        if (!afterHost.empty() && !afterHost.starts_with(':'))
            throw std::invalid_argument("a : and the port must follow the host");
    } else {
        const std::size_t colon = text.rfind(':');
        host = text.substr(0, colon);
        afterHost = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
        if (host.find(':') != std::string_view::npos)
            throw std::invalid_argument("write an IPv6 address in brackets, as [::1]:4001");
    }
    if (host.empty())
        throw std::invalid_argument("no host given");
    if (afterHost.size() <= 1)
        throw std::invalid_argument("no port given");
    const std::string_view digits = afterHost.substr(1);
    unsigned port = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc() || end != digits.data() + digits.size() || port < lowestPort ||
        port > HighestPort)
        throw std::invalid_argument("port must be " + std::to_string(lowestPort) + " to " +
                                    std::to_string(HighestPort));
    return HostPort{std::string(host), static_cast<std::uint16_t>(port)};
}
