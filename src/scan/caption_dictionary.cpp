// Misread captions mended against the captions forms commonly print.
#include "scan/caption_dictionary.h"

#include "scan/utf8.h"

#include <algorithm>
#include <limits>

namespace ordavel::scan {

// form_captions.txt, compiled in (form_captions.cpp.in).
extern const char* const kFormCaptions;

namespace {

bool isCjk(char32_t c) { return (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF); }
bool isBlank(char32_t c) { return c == ' ' || c == '\t' || c == 0x3000 || c == 0xA0; }
char32_t lower(char32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

std::u32string keyOf(std::u32string_view text)
{
    std::u32string key;
    for (const char32_t c : text)
        if (!isBlank(c))
            key.push_back(lower(c));
    return key;
}

// `entry` with each word's first letter in the case of the word at its place in `read`.
std::u32string inCaseOf(std::u32string entry, std::u32string_view read)
{
    std::vector<char32_t> firsts;
    for (std::size_t i = 0; i < read.size(); ++i)
        if (!isBlank(read[i]) && (i == 0 || isBlank(read[i - 1])))
            firsts.push_back(read[i]);
    std::size_t word = 0;
    for (std::size_t i = 0; i < entry.size() && word < firsts.size(); ++i) {
        if (isBlank(entry[i]) || (i > 0 && !isBlank(entry[i - 1])))
            continue;
        const char32_t was = firsts[word++];
        if (was >= 'a' && was <= 'z')
            entry[i] = lower(entry[i]);
        else if (was >= 'A' && was <= 'Z' && entry[i] >= 'a' && entry[i] <= 'z')
            entry[i] -= 'a' - 'A';
    }
    return entry;
}

std::vector<std::u32string> wordsOf(std::u32string_view text)
{
    std::vector<std::u32string> words;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isBlank(text[i]))
            continue;
        if (i == 0 || isBlank(text[i - 1]))
            words.emplace_back();
        words.back().push_back(lower(text[i]));
    }
    return words;
}

} // namespace

int editDistance(std::u32string_view a, std::u32string_view b, int limit)
{
    const int n = static_cast<int>(a.size());
    const int m = static_cast<int>(b.size());
    if (std::abs(n - m) > limit)
        return limit + 1;
    std::vector<int> previous(static_cast<std::size_t>(m) + 1);
    std::vector<int> current(static_cast<std::size_t>(m) + 1);
    for (int j = 0; j <= m; ++j)
        previous[static_cast<std::size_t>(j)] = j;
    for (int i = 1; i <= n; ++i) {
        current[0] = i;
        int best = current[0];
        for (int j = 1; j <= m; ++j) {
            const auto J = static_cast<std::size_t>(j);
            const int change = previous[J - 1] + (a[static_cast<std::size_t>(i - 1)] == b[J - 1] ? 0 : 1);
            current[J] = std::min({previous[J] + 1, current[J - 1] + 1, change});
            best = std::min(best, current[J]);
        }
        if (best > limit)
            return limit + 1;
        std::swap(previous, current);
    }
    return previous[static_cast<std::size_t>(m)];
}

CaptionDictionary::CaptionDictionary(std::string_view lines)
{
    while (!lines.empty()) {
        const std::size_t end = std::min(lines.find('\n'), lines.size());
        std::string_view line = lines.substr(0, end);
        lines.remove_prefix(std::min(lines.size(), end + 1));
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#')
            continue;
        m_entries.push_back({keyOf(decodeUtf8(line)), std::string(line)});
    }
}

const CaptionDictionary& CaptionDictionary::common()
{
    static const CaptionDictionary dictionary(kFormCaptions);
    return dictionary;
}

namespace {

// The caption before a remark in brackets, as a key.
std::u32string headKeyOf(std::string_view caption)
{
    const std::u32string read = decodeUtf8(caption);
    const auto head = std::find_if(read.begin(), read.end(), [](char32_t c) { return c == '(' || c == 0xFF08; });
    return keyOf(std::u32string_view(read.data(), static_cast<std::size_t>(head - read.begin())));
}

} // namespace

bool CaptionDictionary::isEntry(std::string_view caption) const
{
    const std::u32string key = headKeyOf(caption);
    return !key.empty() && std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.key == key; });
}

std::string CaptionDictionary::entryEnding(std::string_view caption) const
{
    const std::u32string key = keyOf(decodeUtf8(caption));
    const Entry* best = nullptr;
    for (const Entry& entry : m_entries)
        if (entry.key.size() >= 2 && entry.key.size() <= key.size() && key.ends_with(entry.key) &&
            (best == nullptr || entry.key.size() > best->key.size()))
            best = &entry;
    return best != nullptr ? best->text : std::string();
}

int CaptionDictionary::allowedEdits(int length, bool chinese)
{
    // Two Chinese characters or three letters leave too little to tell a
    // misreading from another caption; English words spread over more
    // characters, so one error in four is allowed there.
    if (chinese)
        return length < 3 ? 0 : length / 3;
    return length < 4 ? 0 : length / 4;
}

// Whether the words of an English caption as read could each be a
// misreading of the entry's word in its place: a third of a word's letters
// may be wrong, none of a word of one or two ("ID" is no misread "No").
// Words run together or split apart may differ in one letter in all.
bool CaptionDictionary::similarWords(std::u32string_view read, std::string_view entry)
{
    const std::vector<std::u32string> a = wordsOf(read);
    const std::vector<std::u32string> b = wordsOf(decodeUtf8(entry));
    if (a.size() != b.size())
        return editDistance(keyOf(read), keyOf(decodeUtf8(entry)), 1) <= 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const int allowed = static_cast<int>(std::max(a[i].size(), b[i].size()) / 3);
        if (editDistance(a[i], b[i], allowed) > allowed)
            return false;
    }
    return true;
}

std::string CaptionDictionary::correct(std::string_view caption) const
{
    std::u32string read = decodeUtf8(caption);
    // A printed caption starts with a capital; a reader takes a capital "I"
    // or "S" in some faces for the small one ("item" is "Item").
    if (!read.empty() && read[0] >= 'a' && read[0] <= 'z' && std::none_of(read.begin(), read.end(), isCjk)) {
        read[0] -= 'a' - 'A';
        const std::string capital = encodeUtf8(read);
        if (capital != caption)
            return correct(capital);
    }
    // A remark in brackets is matched apart: only the caption before it is mended.
    std::size_t head = read.size();
    for (std::size_t i = 0; i < read.size(); ++i)
        if (read[i] == '(' || read[i] == 0xFF08) {
            head = i;
            break;
        }
    std::u32string_view headText(read.data(), head);
    while (!headText.empty() && isBlank(headText.back()))
        headText.remove_suffix(1);
    const std::u32string key = keyOf(headText);
    if (key.empty())
        return std::string(caption);
    const bool chinese = std::any_of(key.begin(), key.end(), isCjk);
    const int allowed = allowedEdits(static_cast<int>(key.size()), chinese);
    int best = std::numeric_limits<int>::max();
    int second = std::numeric_limits<int>::max();
    const Entry* found = nullptr;
    for (const Entry& entry : m_entries) {
        // A reader changes characters and now and then splits or merges
        // one; a caption two longer or shorter than an entry, or one that
        // holds an entry whole, is another caption ("个人支付金额" is no
        // misread "个人支付").
        const auto longer = static_cast<std::ptrdiff_t>(key.size()) - static_cast<std::ptrdiff_t>(entry.key.size());
        if (longer > 1 || longer < -1 || (longer > 0 && key.find(entry.key) != std::u32string::npos))
            continue;
        int d = editDistance(key, entry.key, allowed + 1);
        if (!chinese && d > 0 && d <= allowed && !similarWords(headText, entry.text))
            d = allowed + 1;
        if (d == 0)
            return std::string(caption); // read as printed
        if (d < best) {
            second = best;
            best = d;
            found = &entry;
        } else if (d < second) {
            second = d;
        }
    }
    // Sure only when one entry is nearer than every other.
    if (found == nullptr || best > allowed || second <= best)
        return std::string(caption);
    std::u32string mended = decodeUtf8(found->text);
    if (!chinese)
        mended = inCaseOf(std::move(mended), headText);
    mended.append(read.begin() + static_cast<std::ptrdiff_t>(head), read.end());
    if (head < read.size() && head > headText.size())
        mended.insert(mended.size() - (read.size() - head), 1, U' ');
    return encodeUtf8(mended);
}

} // namespace ordavel::scan
