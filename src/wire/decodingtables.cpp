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
    {" 0 0", "power_on", " Power ON"},
    {" 8 0", "standby", " Stand by"},
    {" 4 0", "count_down", " Count down"},
    {" 2 0", "cooling_down", " Cooling down"},
    {" 1 0", "power_fail", " Power Fail"},
    {" 0 8", "temperature_warning", " Temperature Warning"},
    {" 0 2", "no_key_input", " NO Key input "},
    {" 0 4", "lamp_off_power_management", " Lamp OFF by PWR Management"},
    {" 2 8", "temperature_warning_cooling_down", " Temperature Warning & cooling down"},
    {" 2 4", "cooling_down_power_management", "Cooling down  PWR Management"},
    {" 8 8", "temperature_warning_recovered", " Temperature Warning and recoverd"},
    {" 2 1", "cooling_down_all_lamps_failed", " Cooling down (All Lamp FAIL)"},
    {" 8 1", "standby_cooling_down_all_lamps_failed", " Cooling down & sutandby (All Lamp FAIL)"},
};

constexpr DecodingRow SelectedInput[] = {
    {" 1", "computer_1", " Computer 1"},
    {" 2", "computer_2", " Computer 2"},
    {" 3", "video", " Video"},
    {" 4", "input_4", " Input mode 4"},
};

constexpr DecodingRow PictureOrientation[] = {
    {" 1 1", "normal", " Normally"},
    {" 1 0", "top_bottom_reversed", " Top/Bottom reversal"},
    {" 0 1", "left_right_reversed", " Left/Right reversal"},
    {" 0 0", "both_reversed", " Top/Bottom , Left/Right reversal"},
};

constexpr DecodingRow MuteAndSignal[] = {
    {" 0 0", "mute_off", " Video & Audio mute OFF"},
    {" 0 1", "video_mute", " Video mute ON"},
    {" 0 2", "audio_mute", " Audio mute ON"},
    {" 0 3", "video_audio_mute", " Video & Audio mute ON"},
    {" 8 0", "no_signal", " No signal"},
    {" F F", "standby", " Stand by"},
};

constexpr DecodingRow LampMode[] = {
    {" 0 0", "all_off_2_lamp", " All OFF : 2 Lamp mode"},
    {" 0 1", "no1_on_2_lamp", " No1 ON  : 2 Lamp mode"},
    {" 0 2", "no2_on_2_lamp", " No2 ON  : 2 Lamp mode"},
    {" 0 3", "both_on_2_lamp", " No1,2 ON  : 2 Lamp mode"},
    {" 1 0", "all_off_1_lamp_no1", " All OFF : 1 Lamp mode(No1 USE)"},
    {" 1 1", "no1_on_1_lamp_no1", " No1 ON  : 1 Lamp mode(No1 USE)"},
    {" 2 0", "all_off_1_lamp_no2", " All OFF : 1 Lamp mode(No2 USE)"},
    {" 2 2", "no2_on_1_lamp_no2", " No2 ON  : 1 Lamp mode(No2 USE)"},
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
