#pragma once
// Which records a batch prints, and how many copies of each.

#include "data/data_table.h"

#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

// One record of a batch: its row in the table (0-based), its number within
// the selection (1-based, what ${#} gives) and how many pages it prints.
struct BatchItem {
    int row = 0;
    int number = 0;
    int copies = 1;
    friend bool operator==(const BatchItem&, const BatchItem&) = default;
};

struct RecordSelection {
    std::vector<int> rows; // 0-based, in the order listed
    std::string error;     // empty on success
};

// A list such as "1-50,75,100-": record numbers (1-based) and ranges, an
// open end meaning "to the last record", in the order given; spaces are
// ignored. Empty text selects every record. A number of 0, beyond the count,
// a backward range or any other text is an error naming the piece.
RecordSelection parseRecordList(std::string_view text, int recordCount);

// The selected rows as items numbered 1, 2, ...; with a copies column (by
// name) each item's copies are that column's whole number (0 skips the
// record, empty means 1); any other value is an error naming its row and
// column. Error text in `error`; no items then.
std::vector<BatchItem> planBatch(const DataTable& table, const std::vector<int>& rows,
                                 const std::string& copiesColumn, std::string& error);

// The items from `from` on, as a record list that selects them again
// ("238-500", "75,100-120"); copies are not part of it.
std::string recordListOf(const std::vector<BatchItem>& items, std::size_t from);

} // namespace ordavel
