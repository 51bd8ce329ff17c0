#pragma once

#include <string_view>

// What the RX trace shows when the reply time-out passes and nothing came.
constexpr std::string_view NoReplyTrace = " X X X X";
