#pragma once

#include "exchange/exchange.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>

// A status value as a person reads it: a table's key, a number with its unit ("1234 h", "1013 hPa"), the
// temperatures with theirs ("38.5 41.0 36.0 °C"), or "unknown"; any byte a projector sent outside
// printable ASCII escaped.
std::string readableValue(std::string_view key, const StatusValue &value);

// A projector's line lent to a console at `to`, as a person reads it: "lent to 10.0.0.7:51000"; an empty
// `to`, the line taken back: "taken back".
std::string lendText(const std::string &to);

// A fleet's values as lines a person reads: after each projector's first round (again when its line is
// back), one line with its main values; then one line per value that changed, "TIME NAME KEY VALUE".
// Names are aligned and no line passes LineLimitBytes.
class ReadableLines
{
public:
    static constexpr std::size_t LineLimitBytes = 120;

    // Widens the name column to fit the projector.
    void add(const std::string &projector);
    // The line to print for this exchange of a round, if any.
    std::optional<std::string> exchanged(const std::string &time, const std::string &projector,
                                         const Exchange &exchange, bool changed);
    // The line to print at the end of a round, if any: the first round's main values.
    std::optional<std::string> roundEnded(const std::string &time, const std::string &projector);
    // The projector's line was lost: its next round is told whole again.
    void lost(const std::string &projector);
    // A line of the projector's own: "TIME NAME text", aligned and bounded like the others.
    std::string line(const std::string &time, const std::string &projector, const std::string &text) const;

private:
    std::size_t m_nameWidth = 0;
    // Per projector not yet told whole since its line opened: the first round's values so far.
    std::map<std::string, std::map<std::string, std::string>> m_firstRound;
    std::map<std::string, bool> m_told;
};
