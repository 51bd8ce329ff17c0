#pragma once

#include <span>
#include <string_view>

// What a one-shot button does besides sending its code.
enum class ButtonKind {
    Plain,
    LongWait,    // LongWaitPeriods, before the send
    LongestWait, // LongestWaitPeriods, before the send
    CursorSetup, // repeat 200 ms and arrow pace 1, after the send
};

// One button that sends a fixed command each time it is clicked.
struct OneShotButton
{
    std::string_view control;
    std::string_view code;
    ButtonKind kind;
};

std::span<const OneShotButton> oneShotButtons();
const OneShotButton *findOneShotButton(std::string_view control);
