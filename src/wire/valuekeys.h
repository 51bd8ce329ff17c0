#pragma once

#include <span>
#include <string_view>

// The stable lower-case name of each status query's value, as outside systems (MQTT topics, Home
// Assistant) name it.
struct ValueKey
{
    std::string_view query; // a code of StatusQueries
    std::string_view key;   // lower case, digits and '_', unique
};

// One row per status query, in the order of StatusQueries.
std::span<const ValueKey> valueKeys();
// The key of a status query's value; empty for a code that is not one.
std::string_view valueKey(std::string_view query);
