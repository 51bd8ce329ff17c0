#include "wire/decodingtables.h"

#include "wire/findrow.h"
#include "wire/statusqueries.h"

#include <algorithm>
#include <array>

namespace {

// Two keyed pairs (" 0 0"), or one pair for the input query.
constexpr std::size_t TwoCharacterKey = 4;
constexpr std::size_t OneCharacterKey = 2;

constexpr DecodingRow OperatingState[] = {
    {" 0 0", " Power ON"},
    {" 8 0", " Stand by"},
    {" 4 0", " Count down"},
    {" 2 0", " Cooling down"},
    {" 1 0", " Power Fail"},
    {" 0 8", " Temperature Warning"},
    {" 0 2", " NO Key input "},
    {" 0 4", " Lamp OFF by PWR Management"},
    {" 2 8", " Temperature Warning & cooling down"},
    {" 2 4", "Cooling down  PWR Management"},
    {" 8 8", " Temperature Warning and recoverd"},
    {" 2 1", " Cooling down (All Lamp FAIL)"},
    {" 8 1", " Cooling down & sutandby (All Lamp FAIL)"},
};

constexpr DecodingRow SelectedInput[] = {
    {" 1", " Computer 1"},
    {" 2", " Computer 2"},
    {" 3", " Video"},
    {" 4", " Input mode 4"},
};

constexpr DecodingRow PictureOrientation[] = {
    {" 1 1", " Normally"},
    {" 1 0", " Top/Bottom reversal"},
    {" 0 1", " Left/Right reversal"},
    {" 0 0", " Top/Bottom , Left/Right reversal"},
};

constexpr DecodingRow MuteAndSignal[] = {
    {" 0 0", " Video & Audio mute OFF"}, {" 0 1", " Video mute ON"}, {" 0 2", " Audio mute ON"},
    {" 0 3", " Video & Audio mute ON"},  {" 8 0", " No signal"},     {" F F", " Stand by"},
};

constexpr DecodingRow LampMode[] = {
    {" 0 0", " All OFF : 2 Lamp mode"},          {" 0 1", " No1 ON  : 2 Lamp mode"},
    {" 0 2", " No2 ON  : 2 Lamp mode"},          {" 0 3", " No1,2 ON  : 2 Lamp mode"},
    {" 1 0", " All OFF : 1 Lamp mode(No1 USE)"}, {" 1 1", " No1 ON  : 1 Lamp mode(No1 USE)"},
    {" 2 0", " All OFF : 1 Lamp mode(No2 USE)"}, {" 2 2", " No2 ON  : 1 Lamp mode(No2 USE)"},
};

constexpr std::array<DecodingTable, 5> Tables = {{
    {StatusQuery::OperatingState, TwoCharacterKey, OperatingState},
    {StatusQuery::SelectedInput, OneCharacterKey, SelectedInput},
    {StatusQuery::PictureOrientation, TwoCharacterKey, PictureOrientation},
    {StatusQuery::MuteAndSignal, TwoCharacterKey, MuteAndSignal},
    {StatusQuery::LampMode, TwoCharacterKey, LampMode},
}};

} // namespace

std::span<const DecodingTable> decodingTables()
{
    return Tables;
}

const DecodingTable *findDecodingTable(std::string_view query)
{
    return findRow(decodingTables(), &DecodingTable::query, query);
}
