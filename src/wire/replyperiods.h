#pragma once

#include <chrono>

// A reply time-out (Timer2) and the clearing period (Timer4) that goes with it.
struct ReplyPeriods
{
    std::chrono::milliseconds reply;
    std::chrono::milliseconds clear;
};

// In force at start-up, and again after every release of a held button.
constexpr ReplyPeriods DesignPeriods{std::chrono::milliseconds{500}, std::chrono::milliseconds{1000}};
// Set by the picture-mode buttons and SEND, and by the input-source buttons; both stay for later commands.
constexpr ReplyPeriods LongWaitPeriods{std::chrono::milliseconds{2000}, std::chrono::milliseconds{2500}};
constexpr ReplyPeriods LongestWaitPeriods{std::chrono::milliseconds{5000}, std::chrono::milliseconds{5500}};
// The periods a free-form SEND sets; the command-line mode waits as long for a reply.
constexpr ReplyPeriods FreeFormPeriods = LongWaitPeriods;
