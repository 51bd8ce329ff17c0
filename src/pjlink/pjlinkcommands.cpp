#include "pjlink/pjlinkcommands.h"

#include "mqtt/presskeys.h"
#include "wire/findrow.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

namespace {
constexpr std::string_view Ok = "OK";
constexpr std::string_view Undefined = "ERR1";
constexpr std::string_view OutOfParameter = "ERR2";
constexpr std::string_view Unavailable = "ERR3";
constexpr std::string_view Failure = "ERR4";
constexpr std::string_view Query = "?";
constexpr std::string_view BareHeader = "PJLINK";
constexpr std::size_t HeaderBytes = 6; // "%1" and the command's four characters
constexpr double MostLampHours = 99999;

// A set command's parameter and the press key it gives.
struct PjlinkSetting
{
    std::string_view command;
    std::string_view parameter;
    std::string_view press;
};

// No-show blanks picture and sound alike, so it is both the video mute and the audio-and-video mute.
constexpr PjlinkSetting Settings[] = {
    {"POWR", "1", PowerOnKey},     {"POWR", "0", PowerOffKey},       {"INPT", "11", "input_pc1"},
    {"INPT", "12", "input_pc2"},   {"INPT", "31", "input_video"},    {"AVMT", "10", "no_show_off"},
    {"AVMT", "11", "no_show_on"},  {"AVMT", "20", "sound_mute_off"}, {"AVMT", "21", "sound_mute_on"},
    {"AVMT", "30", "no_show_off"}, {"AVMT", "31", "no_show_on"},
};

// A row name of a status table and what it reads as.
struct NameResult
{
    std::string_view name;
    std::string_view result;
};

constexpr NameResult Inputs[] = {{"computer_1", "11"}, {"computer_2", "12"}, {"video", "31"}};
constexpr NameResult Mutes[] = {
    {"mute_off", "30"},         {"video_mute", "11"}, {"audio_mute", "21"},
    {"video_audio_mute", "31"}, {"no_signal", "30"},
};

// The power states as POWR reads them; the rest are failures or not yet known.
constexpr std::array<NameResult, 4> Powers = {{
    {"standby", "0"},
    {"on", "1"},
    {"cooling", "2"},
    {"warming", "3"},
}};

// The CR0 rows that are an error status, as ERST's digits (fan, lamp, temperature, cover, filter, other).
struct ErrorRow
{
    std::string_view name;
    std::size_t digit;
    char level; // '1' warning, '2' error
};
constexpr std::size_t TemperatureDigit = 2;
// A temperature above this is a warning even before the projector says so, as the example alert takes it.
constexpr double TemperatureWarningCelsius = 60.0;
constexpr ErrorRow ErrorRows[] = {
    {"power_fail", 5, '2'},
    {"temperature_warning", TemperatureDigit, '1'},
    {"temperature_warning_cooling_down", TemperatureDigit, '1'},
    {"temperature_warning_recovered", TemperatureDigit, '1'},
    {"cooling_down_all_lamps_failed", 1, '2'},
    {"standby_cooling_down_all_lamps_failed", 1, '2'},
};

bool reachable(const PjlinkStatus &status)
{
    return status.connected && status.power != PowerState::Unreachable;
}

std::string readName(std::span<const NameResult> rows, std::string_view name)
{
    const NameResult *row = findRow(rows, &NameResult::name, name);
    return std::string(row ? row->result : Unavailable);
}

std::string power(const PjlinkStatus &status)
{
    if (status.power == PowerState::Fault)
        return std::string(Failure);
    return readName(Powers, powerStateName(status.power));
}

std::string errors(const PjlinkStatus &status)
{
    std::string digits = "000000";
    for (const ErrorRow &row : ErrorRows) {
        if (row.name == status.operating)
            digits[row.digit] = row.level;
    }
    if (status.hottest > TemperatureWarningCelsius)
        digits[TemperatureDigit] = std::max(digits[TemperatureDigit], '1');
    return digits;
}

std::string lamp(const PjlinkStatus &status)
{
    if (!status.lampHours)
        return std::string(Unavailable);
    const auto hours = static_cast<long>(std::clamp(std::round(*status.lampHours), 0.0, MostLampHours));
    const bool lit = status.power == PowerState::On || status.power == PowerState::Warming;
    return std::to_string(hours) + (lit ? " 1" : " 0");
}

// A query-only or queried command: its result from the projector's values.
struct PjlinkQuery
{
    std::string_view command;
    bool needsProjector; // read from the projector's values, which an unreachable one has not
    std::string (*result)(const PjlinkStatus &);
};

constexpr PjlinkQuery Queries[] = {
    {"POWR", true, power},
    {"INPT", true, [](const PjlinkStatus &status) { return readName(Inputs, status.input); }},
    {"AVMT", true, [](const PjlinkStatus &status) { return readName(Mutes, status.mute); }},
    {"ERST", true, errors},
    {"LAMP", true, lamp},
    {"INST", false, [](const PjlinkStatus &) { return std::string(PjlinkIdentity::Inputs); }},
    {"NAME", false, [](const PjlinkStatus &status) { return status.name; }},
    {"INF1", false, [](const PjlinkStatus &) { return std::string(PjlinkIdentity::Maker); }},
    {"INF2", false, [](const PjlinkStatus &) { return std::string(PjlinkIdentity::Model); }},
    {"INFO", false,
     [](const PjlinkStatus &) {
         return std::string(PjlinkIdentity::Maker) + " " + std::string(PjlinkIdentity::Model);
     }},
    {"CLSS", false, [](const PjlinkStatus &) { return std::string("1"); }},
};

bool isHeaderCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

PjlinkStep answered(std::string_view header, std::string_view result)
{
    return {std::string(header), pjlinkAnswer(header, result), {}};
}

PjlinkStep setStep(std::string_view header, std::string_view command, std::string_view parameter)
{
    const auto setting =
        std::find_if(std::begin(Settings), std::end(Settings), [&](const PjlinkSetting &row) {
            return row.command == command && row.parameter == parameter;
        });
    if (setting == std::end(Settings))
        return answered(header, OutOfParameter);
    return {std::string(header), {}, std::string(pressCode(*findPressKey(setting->press)))};
}
} // namespace

std::string pjlinkAnswer(std::string_view header, std::string_view result)
{
    if (header == BareHeader)
        return std::string(header) + " " + std::string(result) + "\r";
    return std::string(header) + "=" + std::string(result) + "\r";
}

PjlinkStep pjlinkStep(std::string_view line, const PjlinkStatus *status)
{
    if (line.size() < HeaderBytes || line[0] != '%' ||
        !std::all_of(line.begin() + 1, line.begin() + HeaderBytes, isHeaderCharacter))
        return answered(BareHeader, Undefined);
    const std::string_view header = line.substr(0, HeaderBytes);
    const std::string_view command = line.substr(2, HeaderBytes - 2);
    const PjlinkQuery *query = findRow(std::span<const PjlinkQuery>(Queries), &PjlinkQuery::command, command);
    if (line[1] != '1' || !query)
        return answered(header, Undefined);
    const std::string_view parameter = line.substr(std::min(line.size(), HeaderBytes + 1));
    if (line.size() <= HeaderBytes + 1 || line[HeaderBytes] != ' ')
        return answered(header, OutOfParameter);
    if (parameter != Query)
        return setStep(header, command, parameter);
    if (query->needsProjector && (!status || !reachable(*status)))
        return answered(header, Failure);
    return answered(header, query->result(status ? *status : PjlinkStatus{}));
}

std::optional<std::string_view> pjlinkOutcomeResult(const PressOutcome &outcome)
{
    switch (outcome.kind) {
    case PressOutcome::Kind::Sent:
        return std::nullopt;
    case PressOutcome::Kind::Already:
        return Ok;
    case PressOutcome::Kind::Held:
        return Unavailable;
    case PressOutcome::Kind::Dropped:
        break;
    }
    const bool unreachable = outcome.reason == PressOutcome::Reason::NotConnected ||
                             outcome.reason == PressOutcome::Reason::UnknownProjector;
    return unreachable ? Failure : Unavailable;
}

std::string_view pjlinkExchangeResult(const Exchange *exchange)
{
    if (exchange && exchange->refused)
        return Unavailable;
    return exchange && exchange->answered ? Ok : Failure;
}
