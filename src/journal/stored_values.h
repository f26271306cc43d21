#pragma once
// How a record's values are stored, alike in every engine: printed fields and
// data columns as JSON arrays of [name, value] pairs, counter names as a JSON
// array, counter values as [[name, value], ...] ("" for none), CUPS job ids
// joined by commas, and the text a search looks through.

#include "journal/journal.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ordavel::journal_detail {

// The length of the well-formed UTF-8 sequence at text[i], 0 if there is none.
std::size_t wellFormedLength(std::string_view text, std::size_t i);
bool isWellFormedUtf8(std::string_view text);
std::size_t utf8Length(std::string_view text);
// ASCII letters in lower case, every other byte as it is.
std::string foldAscii(std::string text);
// `text` with every byte that is not well-formed UTF-8 as U+FFFD and NULs
// left out: what a database of UTF-8 text accepts.
std::string wellFormedText(std::string_view text);

// A JSON string of `text` as nlohmann::json writes it (UTF-8 kept, invalid
// bytes as U+FFFD), without building a JSON value first.
void appendJsonString(std::string& out, std::string_view text);

// valuesJson for the records of one job, which repeat the same names: each
// name's JSON is kept from one record to the next, and the text is written
// into the caller's string.
class ValuesJsonWriter {
public:
    void write(const JournalValues& values, std::string& text);

private:
    std::vector<std::pair<std::string, std::string>> m_names; // a name and its JSON up to the value: ["name",
};

std::string valuesJson(const JournalValues& values);
JournalValues valuesFromJson(const std::string& text);
std::string namesJson(const std::vector<std::string>& names);
std::vector<std::string> namesFromJson(const std::string& text);
// A record's counter values as stored: [["name",17],...], "" for none.
std::string countersJson(const std::vector<CounterValue>& values);
// The counter values stored by countersJson, by name.
std::vector<CounterValue> countersFromJson(const std::string& text);

// Every value a record printed, one a line: what a search looks through. A
// column's value found within a printed field's text is left out.
void searchTextInto(const JournalValues& fields, const JournalValues& columns, std::string& text);
std::string searchTextOf(const JournalValues& fields, const JournalValues& columns);
// The search text of a record whose fields arrive after its columns were
// stored alone (as `columnsText`, one value a line).
std::string searchTextWithFields(const JournalValues& fields, std::string_view columnsText);

std::string joinIds(const std::vector<int>& ids);
std::vector<int> splitIds(const std::string& text);

} // namespace ordavel::journal_detail
