#pragma once

#include <span>
#include <string>
#include <string_view>

// A stable lower-case name for a window button that a remote press may name: the one-shot buttons that
// make sense from afar, and the press-and-hold buttons, named only so that a press of one is refused
// by name.
struct PressKey
{
    std::string_view key;     // lower case, digits and '_', unique
    std::string_view control; // the window's button
    std::string_view name;    // for people: "Power on"
    bool held = false;        // a press-and-hold button: never pressed from afar
};

// The power presses, which a power switch gives too.
constexpr std::string_view PowerOnKey = "power_on";
constexpr std::string_view PowerOffKey = "power_off";

std::span<const PressKey> pressKeys();
const PressKey *findPressKey(std::string_view key);
// The key whose press sends this code, or nullptr.
const PressKey *findPressKeyByCode(std::string_view code);

// What a press of a key sends: the one-shot button's code; empty for a held or unknown key.
std::string_view pressCode(const PressKey &press);

// A press as its sender named it: its key, or the free-form text that sends no key's code.
std::string pressName(std::string_view text);
