#include "wire/statusdecoding.h"

#include "wire/decodingtables.h"
#include "wire/findrow.h"
#include "wire/framing.h"
#include "wire/pressure.h"
#include "wire/statusqueries.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace {

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

// What a whole reply's trace ends with.
constexpr std::string_view ReplyEndTrace = " CR ";

// Trace characters per ordinary reply character: a blank, then the character.
constexpr std::size_t TracePerReplyCharacter = 2;

using Decoder = std::optional<std::string> (*)(std::string_view query, std::string_view trace);
using ValueReader = StatusValue (*)(std::string_view query, std::string_view reply, std::string_view trace);
using FormTest = bool (*)(std::string_view query, std::string_view reply, std::string_view trace);

const DecodingRow *findReplyRow(std::string_view query, std::string_view trace)
{
    const DecodingTable *table = findDecodingTable(query);
    const std::string_view key = trace.substr(0, table->keyLength);
    return findRow(table->rows, &DecodingRow::key, key);
}

std::optional<std::string> lookUp(std::string_view query, std::string_view trace)
{
    const DecodingRow *row = findReplyRow(query, trace);
    return row ? std::optional<std::string>(row->text) : std::nullopt;
}

StatusValue rowName(std::string_view query, std::string_view, std::string_view trace)
{
    const DecodingRow *row = findReplyRow(query, trace);
    return row ? StatusValue(std::string(row->name)) : StatusValue();
}

// A plain decimal shown in the trace, blanks aside ("0 2 5 . 0"); nullopt for anything else.
std::optional<double> plainNumber(std::string_view traced)
{
    std::string digits(traced);
    digits.erase(std::remove(digits.begin(), digits.end(), ' '), digits.end());
    double value = 0;
    const char *end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value, std::chars_format::fixed);
    if (digits.empty() || error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The trace of the reply before its CR.
std::string_view beforeCr(std::string_view trace)
{
    return trace.substr(0, trace.size() - std::min(trace.size(), ReplyEndTrace.size()));
}

std::optional<std::string> lampHours(std::string_view, std::string_view trace)
{
    std::string text(trace.substr(0, LampHoursTraceLength));
    text.append(LampHoursSuffix);
    return text;
}

StatusValue lampHoursValue(std::string_view, std::string_view, std::string_view trace)
{
    const std::optional<double> hours = plainNumber(beforeCr(trace));
    return hours ? StatusValue(*hours) : StatusValue();
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

StatusValue temperaturesValue(std::string_view, std::string_view, std::string_view trace)
{
    std::vector<double> degrees;
    for (const TraceSpan span : {FirstTemperature, SecondTemperature, ThirdTemperature}) {
        const std::optional<double> reading = plainNumber(cut(trace, span));
        if (!reading)
            return {};
        degrees.push_back(*reading);
    }
    return degrees;
}

std::optional<std::string> wholeTrace(std::string_view, std::string_view trace)
{
    return std::string(trace);
}

std::optional<std::string> pressure(std::string_view, std::string_view trace)
{
    return decodePressure(trace);
}

StatusValue replyText(std::string_view, std::string_view reply, std::string_view)
{
    return std::string(reply.substr(0, reply.find('\r')));
}

StatusValue pressureValue(std::string_view, std::string_view, std::string_view trace)
{
    const std::optional<int> hectopascals = pressureHectopascals(trace);
    return hectopascals ? StatusValue(double(*hectopascals)) : StatusValue();
}

// A keyed reply has as many characters as its table's keys stand for.
bool keyedForm(std::string_view query, std::string_view reply, std::string_view)
{
    const std::size_t characters = reply.find('\r');
    return characters * TracePerReplyCharacter == findDecodingTable(query)->keyLength;
}

// A reading: a plain decimal, as lamp hours and the pressure are.
bool numberForm(std::string_view, std::string_view, std::string_view trace)
{
    return plainNumber(beforeCr(trace)).has_value();
}

bool temperaturesForm(std::string_view query, std::string_view reply, std::string_view trace)
{
    return !std::holds_alternative<std::monostate>(temperaturesValue(query, reply, trace));
}

// The status line is shown as it comes: any reply is one.
bool anyForm(std::string_view, std::string_view, std::string_view)
{
    return true;
}

// A decoded query code, how its reply is shown, what its reply's value is, and whether a reply has the
// form of one of its replies.
struct DecodedQuery
{
    std::string_view code;
    Decoder decode = nullptr;
    ValueReader value = nullptr;
    FormTest fits = nullptr;
};

// Tested in this order; a command string equals at most one of them.
constexpr std::array<DecodedQuery, 9> DecodedQueries = {{
    {StatusQuery::OperatingState, lookUp, rowName, keyedForm},
    {StatusQuery::SelectedInput, lookUp, rowName, keyedForm},
    {StatusQuery::PictureOrientation, lookUp, rowName, keyedForm},
    {StatusQuery::LampHours, lampHours, lampHoursValue, numberForm},
    {StatusQuery::Temperatures, temperatures, temperaturesValue, temperaturesForm},
    {StatusQuery::MuteAndSignal, lookUp, rowName, keyedForm},
    {StatusQuery::StatusLine, wholeTrace, replyText, anyForm},
    {StatusQuery::Pressure, pressure, pressureValue, numberForm},
    {StatusQuery::LampMode, lookUp, rowName, keyedForm},
}};

const DecodedQuery *findQuery(std::string_view command)
{
    for (const DecodedQuery &query : DecodedQueries) {
        if (command == frameCommand(EmptyCommandPrefix, query.code))
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

StatusValue decodeValue(std::string_view lastCommand, std::string_view reply, std::string_view trace)
{
    const DecodedQuery *query = findQuery(lastCommand);
    if (!query)
        return {};
    return query->value(query->code, reply, trace);
}

bool fitsReplyForm(std::string_view lastCommand, std::string_view reply, std::string_view trace)
{
    const DecodedQuery *query = findQuery(lastCommand);
    return !query || query->fits(query->code, reply, trace);
}
