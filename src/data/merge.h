#pragma once
// Merging a record into a template: what each box draws for one record. The
// document is never changed; a merged box is a copy owned by the merge.

#include "data/data_table.h"
#include "model/document.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace ordavel {

// Boxes whose text may hold placeholders; a barcode's text is its data.
bool takesPlaceholders(BoxType type);

// The column names the document uses: the placeholders in the texts of text
// boxes, labels and drop-down lists, and every box's dataField, each once, in
// slot order. "#" is not a column and is left out.
std::vector<std::string> templateFields(const Document& doc);

// The journal counters (${#seq:NAME}) the document's boxes use, each once, in slot order.
std::vector<std::string> templateCounters(const Document& doc);

// Before printing: every name the document uses must be a column, and one
// column only. Empty values are fine.
struct FieldCheck {
    std::vector<std::string> missing;   // used, not a column
    std::vector<std::string> ambiguous; // used, more than one column of that name
    std::vector<std::string> badFormats; // placeholders whose format is unknown ("金额|大小")
    bool ok() const { return missing.empty() && ambiguous.empty() && badFormats.empty(); }
    // The message listing both, "" when ok.
    std::string message() const;
};
FieldCheck checkFields(const Document& doc, const DataTable& table);

// Boxes as they print for one record at a time. Text boxes, labels and
// drop-down lists get their placeholders replaced; a box with a dataField
// takes that column's value whole: a date box as a date (the reader's date
// texts or a spreadsheet serial number; empty or unreadable: nothing drawn),
// a picture box as a file relative to the data file's folder (empty, missing
// or not a BMP/JPEG/GIF: nothing drawn), any other type as its text.
class RecordMerge {
public:
    // The table must outlive the merge. With countersOnly (a page without
    // data) counters and the record number are replaced, every column's
    // placeholder prints as nothing, and boxes bound to a data field print
    // their own text.
    explicit RecordMerge(const DataTable& table, bool countersOnly = false);

    // The counter values this record prints, by counter name; a counter
    // without a value prints nothing.
    using CounterValues = std::vector<std::pair<std::string, std::int64_t>>;
    void setCounterValues(CounterValues values);

    // row: 0-based row of the table; number: the ${#} value.
    void setRecord(int row, int number);
    int row() const { return m_row; }
    int number() const { return m_number; }

    // `box` itself when nothing in it depends on the record; otherwise a
    // merged copy that stays valid until the next call.
    const Box& merged(const Box& box);
    // The text merged(box) prints, without copying the box, and whether it
    // prints at all; valid until the next call.
    std::string_view printedText(const Box& box, bool& printed);

    // Problems met so far, one line each ("第 3 条记录：..."), at most
    // kMaxWarnings kept; warningCount() counts them all.
    static constexpr std::size_t kMaxWarnings = 100;
    const std::vector<std::string>& warnings() const { return m_warnings; }
    std::size_t warningCount() const { return m_warningCount; }

private:
    // What merged() changes of a box: nothing, its text, or what its data field gives.
    enum class Change { None, Text, Field };
    Change changeOf(const Box& box) const;
    // The box's text with its placeholders (only counters, with countersOnly) replaced.
    void substituteText(const Box& box, std::string& out);
    // A placeholder's value, in its format; a value the format cannot read
    // gives nothing and a warning, once a record.
    std::string_view lookup(std::string_view placeholder);
    std::string_view rawValue(std::string_view name) const;
    std::string_view counterText(std::string_view placeholder) const;
    void warn(const std::string& what);
    const std::string* pictureBytes(const std::string& path);

    const DataTable& m_table;
    std::unordered_map<std::string, int> m_columns;
    int m_row = 0;
    int m_number = 1;
    std::string m_numberText = "1";
    bool m_countersOnly = false;
    CounterValues m_counters;
    mutable std::unordered_map<std::string, std::string> m_counterTexts; // by placeholder, for this record
    std::unordered_map<std::string, std::string> m_formattedTexts;       // by placeholder, for this record
    Box m_scratch;
    std::string m_textScratch;
    // Pictures read so far, by path, up to a total size; "" marks unusable files.
    std::unordered_map<std::string, std::string> m_pictures;
    std::size_t m_pictureBytes = 0;
    std::vector<std::string> m_warnings;
    std::size_t m_warningCount = 0;
};

// The date a data value names: a spreadsheet serial number (1900 system,
// fraction = time of day) or a date text the template reader accepts.
// Nothing when the value is empty or unreadable.
std::optional<DateTime> dateFromField(std::string_view value);

} // namespace ordavel
