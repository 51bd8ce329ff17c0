#include "watch/powerstate.h"

#include "wire/decodingtables.h"
#include "wire/findrow.h"
#include "wire/statusqueries.h"

#include <array>
#include <string>
#include <variant>

namespace {
constexpr std::array<std::string_view, 7> Names = {"unknown", "unreachable", "standby", "warming",
                                                   "on",      "cooling",     "fault"};

// One CR0 reply key and the power state it stands for.
struct PowerStateRow
{
    std::string_view key;
    PowerState state;
};

// One row per row of CR0's decoding table.
// clang-format off
constexpr PowerStateRow Rows[] = {
    {" 0 0", PowerState::On},
    {" 8 0", PowerState::Standby},
    {" 4 0", PowerState::Warming}, // counting down to the picture
    {" 2 0", PowerState::Cooling},
    {" 1 0", PowerState::Fault},
    {" 0 8", PowerState::On},      // a temperature warning while on
    {" 0 2", PowerState::On},
    {" 0 4", PowerState::Standby}, // the lamp off by power management
    {" 2 8", PowerState::Cooling},
    {" 2 4", PowerState::Cooling},
    {" 8 8", PowerState::Standby},
    {" 2 1", PowerState::Fault},   // every lamp failed, cooling down
    {" 8 1", PowerState::Fault},   // every lamp failed, in standby
};
// clang-format on
} // namespace

std::span<const std::string_view> powerStateNames()
{
    return Names;
}

std::string_view powerStateName(PowerState state)
{
    return Names.at(static_cast<std::size_t>(state));
}

std::optional<PowerState> powerStateOfKey(std::string_view key)
{
    const PowerStateRow *row = findRow(std::span<const PowerStateRow>(Rows), &PowerStateRow::key, key);
    return row ? std::optional<PowerState>(row->state) : std::nullopt;
}

PowerState powerStateOf(const Exchange &exchange)
{
    const DecodingTable *table = findDecodingTable(StatusQuery::OperatingState);
    const std::string *name = exchange.value ? std::get_if<std::string>(&*exchange.value) : nullptr;
    const DecodingRow *row = name && table ? findRow(table->rows, &DecodingRow::name, *name) : nullptr;
    if (!row)
        return PowerState::Unknown;
    return powerStateOfKey(row->key).value_or(PowerState::Unknown);
}
