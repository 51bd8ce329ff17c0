#include "wire/valuekeys.h"

#include "wire/findrow.h"
#include "wire/statusqueries.h"

#include <array>

namespace {
constexpr std::array<ValueKey, StatusQueries.size()> Keys = {{
    {StatusQuery::OperatingState, "power_state"},
    {StatusQuery::SelectedInput, "input"},
    {StatusQuery::LampHours, "lamp_hours"},
    {StatusQuery::PictureOrientation, "picture_orientation"},
    {StatusQuery::Temperatures, "temperatures"},
    {StatusQuery::LampMode, "lamp_mode"},
    {StatusQuery::StatusLine, "status_line"},
    {StatusQuery::MuteAndSignal, "mute_and_signal"},
    {StatusQuery::Pressure, "pressure"},
}};
} // namespace

std::span<const ValueKey> valueKeys()
{
    return Keys;
}

std::string_view valueKey(std::string_view query)
{
    const ValueKey *row = findRow(valueKeys(), &ValueKey::query, query);
    return row ? row->key : std::string_view();
}
