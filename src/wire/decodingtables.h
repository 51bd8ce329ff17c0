#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// One reply key, the stable name a script reads for it, and the status text it stands for.
struct DecodingRow
{
    std::string_view key;
    std::string_view name; // lower case, digits and '_', unique within its table
    std::string_view text;
};

// The texts one status query's replies decode to, keyed on the first keyLength trace characters.
struct DecodingTable
{
    std::string_view query;
    std::size_t keyLength = 0;
    std::span<const DecodingRow> rows;
};

std::span<const DecodingTable> decodingTables();
const DecodingTable *findDecodingTable(std::string_view query);
