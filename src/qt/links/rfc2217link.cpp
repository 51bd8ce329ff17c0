#include "qt/links/rfc2217link.h"

void Rfc2217Link::started(const LineSettings &line)
{
    send(m_codec.start(line));
}

void Rfc2217Link::lineChanged(const LineSettings &line)
{
    send(m_codec.setLine(line));
}

std::string Rfc2217Link::decode(const QByteArray &wire)
{
    Rfc2217Codec::Decoded decoded =
        m_codec.decode(std::string_view(wire.constData(), std::size_t(wire.size())));
    if (!decoded.answer.empty())
        send(decoded.answer);
    return std::move(decoded.data);
}
