#include "pjlink/pjlinksession.h"

#include "pjlink/pjlinkcommands.h"

namespace {
constexpr char Terminator = '\r';
constexpr char LineFeed = '\n';
constexpr std::string_view WrongDigest = "PJLINK ERRA\r";
constexpr std::size_t HeaderBytes = 6;

// The header of a line cut off, for its ERR1: "%1POWR" when it has one.
std::string headerOf(std::string_view line)
{
    return pjlinkStep(line.substr(0, HeaderBytes), nullptr).header;
}
} // namespace

std::string PjlinkSession::greeting(const std::optional<std::string> &random)
{
    return random ? "PJLINK 1 " + *random + "\r" : std::string("PJLINK 0\r");
}

std::vector<PjlinkInput> PjlinkSession::receive(std::string_view bytes)
{
    std::vector<PjlinkInput> inputs;
    for (const char byte : bytes) {
        if (m_closed)
            break;
        if (byte == Terminator) {
            if (!m_dropping)
                inputs.push_back(take(m_line));
            m_line.clear();
            m_dropping = false;
        } else if (!m_dropping && !(byte == LineFeed && m_line.empty())) {
            m_line.push_back(byte);
            // The digest comes before the command and is not part of the class 1 line.
            const std::size_t limit = LineLimitBytes - 1 + (m_digest ? DigestBytes : 0);
            if (m_line.size() > limit) {
                inputs.push_back(m_digest ? PjlinkInput{PjlinkInput::Kind::Close, std::string(WrongDigest)}
                                          : PjlinkInput{PjlinkInput::Kind::Answer,
                                                        pjlinkAnswer(headerOf(m_line), "ERR1")});
                m_closed = m_digest.has_value();
                m_dropping = true;
            }
        }
    }
    return inputs;
}

PjlinkInput PjlinkSession::take(std::string_view line)
{
    if (m_digest) {
        if (!line.starts_with(*m_digest)) {
            m_closed = true;
            return {PjlinkInput::Kind::Close, std::string(WrongDigest)};
        }
        line.remove_prefix(DigestBytes);
        m_digest.reset();
    }
    return {PjlinkInput::Kind::Line, std::string(line)};
}
