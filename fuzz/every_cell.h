#pragma once
// Reads every value of a table that was read, so that a cell out of range
// shows under the sanitizers; gives their bytes in all.
#include "data/data_table.h"

#include <cstddef>

inline std::size_t bytesOfEveryCell(const ordavel::DataTable& table)
{
    std::size_t total = 0;
    for (int row = 0; row < table.recordCount(); ++row)
        for (int column = 0; column < table.columnCount(); ++column)
            total += table.value(row, column).size();
    return total;
}
