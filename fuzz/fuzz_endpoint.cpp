// Any text named as an endpoint: it is read as one the console can reach, or refused in one line; what
// it reads keeps the text as given and reads the same again.
#include "link/endpoint.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {
void require(bool holds)
{
    if (!holds)
        std::abort();
}

bool sameReading(const Endpoint &a, const Endpoint &b)
{
    return a.kind == b.kind && a.host == b.host && a.port == b.port && a.device == b.device;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    Endpoint endpoint;
    try {
        endpoint = parseEndpoint(text);
    } catch (const std::invalid_argument &error) {
        const std::string_view message = error.what();
        require(!message.empty() && message.find('\n') == std::string_view::npos);
        return 0;
    }
    require(endpoint.text == text);
    switch (endpoint.kind) {
    case Endpoint::Kind::Auto:
        require(endpoint.device.empty() && endpoint.host.empty() && endpoint.port == 0);
        break;
    case Endpoint::Kind::Device:
        require(endpoint.device == text && endpoint.host.empty() && endpoint.port == 0);
        break;
    case Endpoint::Kind::Tcp:
    case Endpoint::Kind::Rfc2217:
        // The port ends the text, perhaps after leading zeros.
        require(!endpoint.host.empty() && endpoint.port >= 1 && endpoint.device.empty());
        require(text.ends_with(std::to_string(endpoint.port)));
        break;
    }
    require(sameReading(parseEndpoint(endpoint.text), endpoint));
    return 0;
}
