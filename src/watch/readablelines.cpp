#include "watch/readablelines.h"

#include "wire/findrow.h"
#include "wire/printable.h"
#include "wire/valuekeys.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace {
// How a number of a status value reads: its unit and its decimals.
struct ValueUnit
{
    std::string_view key;
    std::string_view unit;
    int decimals = 0;
};

constexpr std::array<ValueUnit, 3> Units = {{
    {"lamp_hours", " h", 0},
    {"temperatures", " \u00b0C", 1},
    {"pressure", " hPa", 0},
}};

// What the line for a projector's first round shows, in this order.
constexpr std::array<std::string_view, 4> MainKeys = {"power_state", "input", "lamp_hours", "temperatures"};

std::string number(double value, int decimals)
{
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    return text.data();
}

struct Readable
{
    const ValueUnit *unit;

    std::string operator()(std::monostate) const { return "unknown"; }
    std::string operator()(const std::string &text) const { return printable(text); }
    std::string operator()(double value) const { return number(value, decimals()) + suffix(); }
    std::string operator()(const std::vector<double> &values) const
    {
        std::string text;
        for (const double value : values) {
            if (!text.empty())
                text += ' ';
            text += number(value, decimals());
        }
        return text + suffix();
    }
    int decimals() const { return unit ? unit->decimals : 1; }
    std::string suffix() const { return unit ? std::string(unit->unit) : std::string(); }
};

// Cut to the limit, never inside a character of more than one byte.
std::string bounded(std::string line)
{
    if (line.size() <= ReadableLines::LineLimitBytes)
        return line;
    std::size_t end = ReadableLines::LineLimitBytes;
    while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
        --end;
    line.resize(end);
    return line;
}
} // namespace

std::string readableValue(std::string_view key, const StatusValue &value)
{
    return std::visit(Readable{findRow(std::span<const ValueUnit>(Units), &ValueUnit::key, key)}, value);
}

void ReadableLines::add(const std::string &projector)
{
    m_nameWidth = std::max(m_nameWidth, projector.size());
}

std::string ReadableLines::line(const std::string &time, const std::string &projector,
                                const std::string &text) const
{
    std::string line = time;
    line += ' ';
    line += projector;
    line.append(m_nameWidth > projector.size() ? m_nameWidth - projector.size() : 0, ' ');
    line += "  ";
    line += text;
    return bounded(std::move(line));
}

std::optional<std::string> ReadableLines::exchanged(const std::string &time, const std::string &projector,
                                                    const Exchange &exchange, bool changed)
{
    if (!exchange.value)
        return std::nullopt;
    const std::string key(valueKey(exchange.sent));
    std::string value = readableValue(key, *exchange.value);
    if (!m_told[projector]) {
        m_firstRound[projector][key] = std::move(value);
        return std::nullopt;
    }
    if (!changed)
        return std::nullopt;
    return line(time, projector, key + ' ' + value);
}

std::optional<std::string> ReadableLines::roundEnded(const std::string &time, const std::string &projector)
{
    if (m_told[projector])
        return std::nullopt;
    m_told[projector] = true;
    const std::map<std::string, std::string> values = std::move(m_firstRound[projector]);
    m_firstRound.erase(projector);
    std::string text;
    const auto show = [&text](const std::string &key, const std::string &value) {
        if (!text.empty())
            text += "  ";
        text += key;
        text += ' ';
        text += value;
    };
    for (const std::string_view key : MainKeys) {
        if (const auto found = values.find(std::string(key)); found != values.end())
            show(found->first, found->second);
    }
    // A watch that asks none of the main values shows what it asks.
    if (text.empty()) {
        for (const auto &[key, value] : values)
            show(key, value);
    }
    return line(time, projector, text);
}

std::string lendText(const std::string &to)
{
    return to.empty() ? "taken back" : "lent to " + to;
}

void ReadableLines::lost(const std::string &projector)
{
    m_told[projector] = false;
    m_firstRound.erase(projector);
}
