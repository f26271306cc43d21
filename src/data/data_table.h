#pragma once
// A table of records read from a data file: the column names of its first
// row and, per record, one text value per column. All values live in one
// buffer with an offset per cell, so a file of 100,000 records costs little
// more than its own size.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel {

class DataTable {
public:
    DataTable() = default;
    explicit DataTable(std::vector<std::string> columns);

    const std::vector<std::string>& columns() const { return m_columns; }
    int columnCount() const { return static_cast<int>(m_columns.size()); }
    int recordCount() const;

    // The value of `column` (0-based) in `record` (0-based); both must be in range.
    std::string_view value(int record, int column) const;
    // The first column of that name, or -1.
    int columnIndex(std::string_view name) const;
    // Names that more than one column bears, each once, in column order.
    std::vector<std::string> duplicateColumns() const;

    // Building: cells are appended row by row; endRecord pads a short row with
    // empty values. A row must not get more cells than there are columns.
    void appendCell(std::string_view value);
    void endRecord();
    // Cells appended to the current, unfinished record.
    int pendingCells() const { return m_pending; }

    // The folder the data file lies in ("" for standard input); picture fields
    // name files relative to it.
    std::string folder;

private:
    std::vector<std::string> m_columns;
    std::string m_text;                 // every value, back to back
    std::vector<std::uint64_t> m_ends{0}; // end of each cell in m_text, after a leading 0
    int m_pending = 0;
};

// What a read gives: the table, or a message saying why the file cannot be
// used (with its row and column where there is one). A failed read yields no
// table at all, so nothing is ever printed from part of a file.
struct DataReadResult {
    DataTable table;
    std::string sheet; // the workbook sheet that was read; empty for other files
    std::string error; // empty on success
    bool ok() const { return error.empty(); }
};

// "第 R 行第 C 列：" + what; row and column 1-based; 0 leaves that part out.
std::string dataErrorAt(int row, int column, std::string_view what);

} // namespace ordavel
