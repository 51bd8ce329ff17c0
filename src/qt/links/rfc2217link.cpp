#include "qt/links/rfc2217link.h"

namespace {
const std::string OwnSpeed = "; the line runs at the server's own speed";
} // namespace

Rfc2217Link::Rfc2217Link(std::string host, std::uint16_t port) : TcpLink(std::move(host), port)
{
    m_settingsWait.setTimerType(Qt::PreciseTimer);
    m_settingsWait.setSingleShot(true);
    m_settingsWait.setInterval(SettingsWait);
    QObject::connect(&m_settingsWait, &QTimer::timeout, &m_settingsWait, [this] {
        // Not a word of telnet: a raw TCP port, where the opening offers went to the projector as data.
        settled(m_codec.negotiated() ? "the server did not answer for the line's settings" + OwnSpeed
                                     : "the server does not speak telnet; use " + endpointText("tcp"));
    });
}

void Rfc2217Link::started(const LineSettings &line)
{
    // A first command sent at the server's old speed would reach the projector as garbage.
    hold();
    answer(m_codec.start(line));
    m_settingsWait.start();
}

void Rfc2217Link::lineChanged(const LineSettings &line)
{
    answer(m_codec.setLine(line));
}

std::string Rfc2217Link::decode(const QByteArray &wire)
{
    Rfc2217Codec::Decoded decoded =
        m_codec.decode(std::string_view(wire.constData(), std::size_t(wire.size())));
    if (m_codec.negotiatesWithoutEnd()) {
        drop("the server does not stop negotiating telnet options");
        return {};
    }
    answer(decoded.answer);
    if (m_settingsWait.isActive()) {
        if (m_codec.comPortControl() == Rfc2217Codec::ComPortControl::Agreed)
            settled({});
        else if (m_codec.comPortControl() == Rfc2217Codec::ComPortControl::Refused)
            settled("the server does not take the line's settings" + OwnSpeed);
    }
    return std::move(decoded.data);
}

void Rfc2217Link::settled(const std::string &notice)
{
    m_settingsWait.stop();
    if (!isOpen())
        return;
    // Told before the held bytes go, so that a log reads in the order things happened on the line.
    if (!notice.empty())
        raiseNotice(notice);
    release();
}
