#include "mqtt/presskeys.h"

#include "wire/findrow.h"
#include "wire/oneshottable.h"

#include <algorithm>
#include <iterator>

namespace {
constexpr bool Held = true;

// The menu and its cursor, the status queries (the watch asks them) and the service area's buttons
// (input signal types, fan, logo) are left out: from afar they would change what an operator in the
// room expects, or need the cursor held.
constexpr PressKey Keys[] = {
    {PowerOnKey, "Command17", "Power on"},
    {PowerOffKey, "Command18", "Power off"},
    {"input_pc1", "Command27", "Input PC1"},
    {"input_pc2", "Command28", "Input PC2"},
    {"input_video", "Command29", "Input video"},
    {"signal_wired", "Command37", "Signal wired"},
    {"signal_wireless", "Command38", "Signal wireless"},
    {"sound_mute_on", "Command19", "Sound mute on"},
    {"sound_mute_off", "Command20", "Sound mute off"},
    {"no_show_on", "Command21", "No show on"},
    {"no_show_off", "Command22", "No show off"},
    {"freeze_on", "Command25", "Freeze on"},
    {"freeze_off", "Command26", "Freeze off"},
    {"av_size_regular", "Command31", "AV size regular"},
    {"av_size_wide", "Command32", "AV size wide"},
    {"picture_standard", "Command4", "Picture standard"},
    {"picture_real", "Command10", "Picture real"},
    {"picture_cinema", "Command11", "Picture cinema"},
    {"picture_image1", "Command39", "Picture image 1"},
    {"picture_image2", "Command40", "Picture image 2"},
    {"picture_image3", "Command41", "Picture image 3"},
    {"picture_image4", "Command42", "Picture image 4"},
    {"picture_blackboard", "Command12", "Picture blackboard"},
    {"picture_dynamic", "Command36", "Picture dynamic"},
    {"presentation_timer", "Command14", "Presentation timer"},
    {"display_clear", "Command3", "Display clear"},
    {"key_lock_none", "Command56", "Key lock none"},
    {"key_lock_remote", "Command57", "Key lock remote control"},
    {"key_lock_panel", "Command58", "Key lock panel"},
    {"volume_up", "Command1", "Volume up", Held},
    {"volume_down", "Command2", "Volume down", Held},
    {"brightness_up", "Command15", "Brightness up", Held},
    {"brightness_down", "Command35", "Brightness down", Held},
    {"zoom_in", "Command48", "Zoom in", Held},
    {"zoom_out", "Command49", "Zoom out", Held},
    {"keystone_up", "Command50", "Keystone up", Held},
    {"keystone_down", "Command51", "Keystone down", Held},
    {"cursor_up", "Command5", "Cursor up", Held},
    {"cursor_down", "Command7", "Cursor down", Held},
    {"cursor_left", "Command9", "Cursor left", Held},
    {"cursor_right", "Command8", "Cursor right", Held},
    {"select", "Command6", "Select", Held},
};
} // namespace

std::span<const PressKey> pressKeys()
{
    return Keys;
}

const PressKey *findPressKey(std::string_view key)
{
    return findRow(pressKeys(), &PressKey::key, key);
}

const PressKey *findPressKeyByCode(std::string_view code)
{
    const auto found = std::find_if(std::begin(Keys), std::end(Keys), [&](const PressKey &press) {
        return !code.empty() && pressCode(press) == code;
    });
    return found == std::end(Keys) ? nullptr : &*found;
}

std::string_view pressCode(const PressKey &press)
{
    if (press.held)
        return {};
    const OneShotButton *button = findOneShotButton(press.control);
    return button ? button->code : std::string_view();
}

std::string pressName(std::string_view text)
{
    const PressKey *press = findPressKeyByCode(text);
    return std::string(press ? press->key : text);
}
