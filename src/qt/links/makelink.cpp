#include "qt/links/makelink.h"

#include "qt/links/seriallink.h"

#include <stdexcept>

std::unique_ptr<ByteLink> makeLink(const Endpoint &endpoint)
{
    switch (endpoint.kind) {
    case Endpoint::Kind::Device:
        return std::make_unique<SerialLink>(QString::fromStdString(endpoint.device));
    // The network links: raw TCP and RFC 2217.
    case Endpoint::Kind::Tcp:
    case Endpoint::Kind::Rfc2217:
        throw SerialError(SerialError::OpenFailed, "network links are not built in");
    case Endpoint::Kind::Auto:
        break;
    }
    throw std::logic_error("auto names no link until a device is chosen for it");
}
