#include "exchange/commandsource.h"

#include <utility>

namespace {
constexpr char CommentMark = '#';
constexpr std::string_view LineEnds = "\n\r";
constexpr std::string_view Blanks = " \t";
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
} // namespace

void CommandSource::add(std::string text)
{
    m_ready.push_back(std::move(text));
}

void CommandSource::feed(std::string_view bytes)
{
    while (!m_ended && !bytes.empty()) {
        if (std::exchange(m_afterCr, false) && bytes.front() == '\n') {
            bytes.remove_prefix(1);
            continue;
        }
        const std::size_t end = bytes.find_first_of(LineEnds);
        m_partial.append(bytes.substr(0, end));
        if (m_partial.size() > LineLimitBytes) {
            m_partial.clear();
            fail("line " + std::to_string(m_lines + 1) + " of the script is longer than " +
                 std::to_string(LineLimitBytes) + " bytes");
            return;
        }
        if (end == std::string_view::npos)
            return;
        m_afterCr = bytes[end] == '\r';
        line(m_partial);
        m_partial.clear();
        bytes.remove_prefix(end + 1);
    }
}

void CommandSource::end()
{
    if (m_ended)
        return;
    if (!m_partial.empty())
        line(m_partial);
    m_partial.clear();
    m_ended = true;
    ready();
}

void CommandSource::fail(std::string text)
{
    if (m_ended)
        return;
    m_failure = std::move(text);
    m_ended = true;
    ready();
}

std::optional<std::string> CommandSource::take()
{
    if (m_ready.empty())
        return std::nullopt;
    std::string text = std::move(m_ready.front());
    m_ready.pop_front();
    if (m_onTaken)
        m_onTaken();
    return text;
}

void CommandSource::line(std::string_view text)
{
    if (++m_lines == 1 && text.starts_with(ByteOrderMark))
        text.remove_prefix(ByteOrderMark.size());
    const std::size_t first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos || text[first] == CommentMark)
        return;
    m_ready.emplace_back(text);
    ready();
}

void CommandSource::ready()
{
    if (m_onReady)
        m_onReady();
}
