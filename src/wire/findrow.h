#pragma once

#include <algorithm>
#include <span>

// The first row of a table whose field equals the key, or nullptr.
template <class Row, class Field, class Key>
const Row *findRow(std::span<const Row> table, Field Row::*field, const Key &key)
{
    const auto found =
        std::find_if(table.begin(), table.end(), [&](const Row &row) { return row.*field == key; });
    return found == table.end() ? nullptr : &*found;
}
