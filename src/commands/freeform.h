#pragma once

#include <chrono>

// The reply and clearing periods that a free-form SEND sets.
constexpr std::chrono::milliseconds FreeFormReplyPeriod{2000};
constexpr std::chrono::milliseconds FreeFormClearPeriod{2500};
