#include "wire/statusdecoding.h"

#include "wire/decodingtables.h"
#include "wire/framing.h"
#include "wire/pressure.h"
#include "wire/statusqueries.h"

#include <array>

namespace {

// CommandPrefix stays empty for the whole run, so a query's command string is its code and CR.
constexpr std::string_view QueryPrefix{};

constexpr std::size_t LampHoursTraceLength = 38;
constexpr std::string_view LampHoursSuffix = " Hour Use";

// A run of trace characters: start counts from 0.
struct TraceSpan
{
    std::size_t start = 0;
    std::size_t length = 0;
};

// Each temperature is a blank and a reply character per digit; reply characters 6, 7 and 12 are skipped.
constexpr TraceSpan FirstTemperature{0, 10};
constexpr TraceSpan SecondTemperature{14, 8};
constexpr TraceSpan ThirdTemperature{24, 10};

// A span that runs past the end is cut short, or empty when it starts past the end.
std::string_view cut(std::string_view trace, TraceSpan span)
{
    if (span.start >= trace.size())
        return {};
    return trace.substr(span.start, span.length);
}

using Decoder = std::optional<std::string> (*)(std::string_view query, std::string_view trace);

std::optional<std::string> lookUp(std::string_view query, std::string_view trace)
{
    const DecodingTable *table = findDecodingTable(query);
    const std::string_view key = trace.substr(0, table->keyLength);
    for (const DecodingRow &row : table->rows) {
        if (row.key == key)
            return std::string(row.text);
    }
    return std::nullopt;
}

std::optional<std::string> lampHours(std::string_view, std::string_view trace)
{
    std::string text(trace.substr(0, LampHoursTraceLength));
    text.append(LampHoursSuffix);
    return text;
}

std::optional<std::string> temperatures(std::string_view, std::string_view trace)
{
    std::string text = "  S1=";
    text.append(cut(trace, FirstTemperature));
    text.append(" C  ,   S2= ");
    text.append(cut(trace, SecondTemperature));
    text.append(" C , S3=");
    text.append(cut(trace, ThirdTemperature));
    text.append(" C");
    return text;
}

std::optional<std::string> wholeTrace(std::string_view, std::string_view trace)
{
    return std::string(trace);
}

std::optional<std::string> pressure(std::string_view, std::string_view trace)
{
    return decodePressure(trace);
}

// A decoded query code and how its reply is shown.
struct DecodedQuery
{
    std::string_view code;
    Decoder decode = nullptr;
};

// Tested in this order; a command string equals at most one of them.
constexpr std::array<DecodedQuery, 9> DecodedQueries = {{
    {StatusQuery::OperatingState, lookUp},
    {StatusQuery::SelectedInput, lookUp},
    {StatusQuery::PictureOrientation, lookUp},
    {StatusQuery::LampHours, lampHours},
    {StatusQuery::Temperatures, temperatures},
    {StatusQuery::MuteAndSignal, lookUp},
    {StatusQuery::StatusLine, wholeTrace},
    {StatusQuery::Pressure, pressure},
    {StatusQuery::LampMode, lookUp},
}};

const DecodedQuery *findQuery(std::string_view command)
{
    for (const DecodedQuery &query : DecodedQueries) {
        if (command == frameCommand(QueryPrefix, query.code))
            return &query;
    }
    return nullptr;
}

} // namespace

std::optional<std::string> decodeStatus(std::string_view lastCommand, std::string_view trace)
{
    const DecodedQuery *query = findQuery(lastCommand);
    if (!query)
        return std::nullopt;
    return query->decode(query->code, trace);
}

bool isStatusQuery(std::string_view command)
{
    return findQuery(command) != nullptr;
}
