#pragma once
// The keys that let a shop find words of characters beyond ASCII: the
// server's trigram index sees only ASCII letters and digits (the shop's
// database has the C character type), so each job keeps the keys of its
// records' search texts, and a word is looked for only in the records of
// the jobs holding all of its keys.
//
// A text's keys are each character beyond ASCII and each pair of
// neighbouring characters of which one at least is beyond ASCII (neither a
// line break, which parts a record's values). A word of two characters or
// more is held only by texts holding its pairs; a word of one such
// character, by texts holding that character. Texts are matched as stored:
// UTF-8, ASCII letters folded.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ordavel::postgres_journal {

// Keys gathered from many texts, each kept once.
class SearchKeys {
public:
    // Adds the keys of `text` (well-formed UTF-8).
    void add(std::string_view text);
    bool empty() const { return m_keys.empty(); }
    // The keys, in the order of their bytes.
    std::vector<std::string> list() const;

private:
    // A key packed into eight bytes: at most two characters of four bytes.
    std::vector<std::uint64_t> m_keys;
    std::size_t m_sorted = 0; // m_keys[0, m_sorted) is sorted and unique
};

// The keys a text must hold to hold `word` (well-formed UTF-8, ASCII
// letters folded), in the order of their bytes; none when the word is
// ASCII alone.
std::vector<std::string> wordKeys(std::string_view word);

} // namespace ordavel::postgres_journal
