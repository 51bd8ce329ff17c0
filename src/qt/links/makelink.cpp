#include "qt/links/makelink.h"

#include "qt/links/rfc2217link.h"
#include "qt/links/seriallink.h"
#include "qt/links/tcplink.h"

#include <stdexcept>

std::unique_ptr<ByteLink> makeLink(const Endpoint &endpoint)
{
    switch (endpoint.kind) {
    case Endpoint::Kind::Device:
        return std::make_unique<SerialLink>(endpoint.device);
    case Endpoint::Kind::Tcp:
        return std::make_unique<TcpLink>(endpoint.host, endpoint.port);
    case Endpoint::Kind::Rfc2217:
        return std::make_unique<Rfc2217Link>(endpoint.host, endpoint.port);
    case Endpoint::Kind::Auto:
        break;
    }
    throw std::logic_error("auto names no link until a device is chosen for it");
}
