#pragma once
// A search as every engine reads it: words split at spaces, each a
// substring (ASCII case aside) of one value of a record or of its job's
// template or printer name.

#include <string>
#include <string_view>
#include <vector>

namespace ordavel::journal_detail {

// One word of a search: what a record's search text (or a job's names) is
// matched with by LIKE, and the index's phrase for it ("" when the index
// cannot answer it: a single character, bytes that are not UTF-8).
struct SearchWord {
    std::string text; // the word as typed
    std::string like;
    std::string term;
    bool prefix = false; // the index answers it as a prefix (two characters)
};


// A search's words: split at spaces (ASCII white space and U+3000). At most
// 24 words; the rest are left out.
std::vector<SearchWord> searchWords(std::string_view text);

} // namespace ordavel::journal_detail
