#pragma once
// The captions forms commonly print, for mending captions the reader got
// nearly right: "医保类曹" is taken for "医保类型" when no other caption is as near.

#include <string>
#include <string_view>
#include <vector>

namespace ordavel::scan {

class CaptionDictionary {
public:
    // Entries one a line; blank lines and lines starting with '#' are skipped.
    explicit CaptionDictionary(std::string_view lines);
    // The dictionary built into the program.
    static const CaptionDictionary& common();

    // `caption` (tidied) mended to the entry it was a misreading of, or as
    // it is when it is an entry, when no entry is near enough, or when two
    // are equally near. Near is within allowedEdits() and at most one
    // character longer or shorter, never an entry with characters added. A remark in brackets is kept as read and only the
    // caption before it is matched. Letters compare regardless of case; a
    // mended English caption keeps the case of the words as read, but for
    // its first letter, which is a capital.
    std::string correct(std::string_view caption) const;

    // Whether `caption` (tidied, a remark in brackets aside) is an entry, blanks and case aside.
    bool isEntry(std::string_view caption) const;
    // The longest entry `caption` ends in, as the entry is written; "" when
    // it ends in none. Entries of one character are not looked for.
    std::string entryEnding(std::string_view caption) const;

    // How many characters of a caption of `length` characters may be wrong
    // for it still to be mended: none below three, one in three after that.
    static int allowedEdits(int length, bool chinese);

    std::size_t size() const { return m_entries.size(); }

private:
    static bool similarWords(std::u32string_view read, std::string_view entry);

    struct Entry {
        std::u32string key; // blanks dropped, letters lower case
        std::string text;
    };
    std::vector<Entry> m_entries;
};

// Levenshtein distance between two strings of code points, stopping early
// (returning more than `limit`) once it cannot be `limit` or less.
int editDistance(std::u32string_view a, std::u32string_view b, int limit);

} // namespace ordavel::scan
