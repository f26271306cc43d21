#include "journal/postgres/pg_search_keys.h"

#include <algorithm>

namespace ordavel::postgres_journal {

namespace {

// The length of the UTF-8 character that starts with `lead`.
std::size_t characterLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xf0)
        return 4;
    if (lead >= 0xe0)
        return 3;
    return 2;
}

// The characters of `text` in order, each packed with its bytes from the
// most significant on (no byte is zero: texts hold no NUL).
template <typename Visit>
void eachCharacter(std::string_view text, Visit&& visit)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = std::min(characterLength(static_cast<unsigned char>(text[i])), text.size() - i);
        std::uint32_t packed = 0;
        for (std::size_t k = 0; k < length; ++k)
            packed = (packed << 8) | static_cast<unsigned char>(text[i + k]);
        visit(packed, length);
        i += length;
    }
}

std::uint64_t pair(std::uint32_t first, std::size_t secondLength, std::uint32_t second)
{
    return (static_cast<std::uint64_t>(first) << (8 * secondLength)) | second;
}

std::string unpacked(std::uint64_t key)
{
    std::string bytes;
    for (int shift = 56; shift >= 0; shift -= 8)
        if (const auto byte = static_cast<unsigned char>(key >> shift); byte != 0 || !bytes.empty())
            bytes += static_cast<char>(byte);
    return bytes;
}

constexpr std::uint32_t kLineBreak = '\n';

} // namespace

void SearchKeys::add(std::string_view text)
{
    std::uint32_t previous = kLineBreak;
    bool previousWide = false;
    eachCharacter(text, [&](std::uint32_t character, std::size_t length) {
        const bool wide = length > 1;
        if (wide)
            m_keys.push_back(character);
        if ((wide || previousWide) && previous != kLineBreak && character != kLineBreak)
            m_keys.push_back(pair(previous, length, character));
        previous = character;
        previousWide = wide;
    });
    // Kept small as it grows: most records of a job share most of their keys.
    if (m_keys.size() > 2 * m_sorted + 4096) {
        std::sort(m_keys.begin(), m_keys.end());
        m_keys.erase(std::unique(m_keys.begin(), m_keys.end()), m_keys.end());
        m_sorted = m_keys.size();
    }
}

std::vector<std::string> SearchKeys::list() const
{
    std::vector<std::uint64_t> keys = m_keys;
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::vector<std::string> listed;
    listed.reserve(keys.size());
    for (const std::uint64_t key : keys)
        listed.push_back(unpacked(key));
    std::sort(listed.begin(), listed.end());
    return listed;
}

std::vector<std::string> wordKeys(std::string_view word)
{
    std::vector<std::uint32_t> characters;
    std::vector<std::size_t> lengths;
    eachCharacter(word, [&](std::uint32_t character, std::size_t length) {
        characters.push_back(character);
        lengths.push_back(length);
    });
    std::vector<std::uint64_t> keys;
    if (characters.size() == 1 && lengths[0] > 1)
        keys.push_back(characters[0]);
    for (std::size_t i = 1; i < characters.size(); ++i)
        if (lengths[i - 1] > 1 || lengths[i] > 1)
            keys.push_back(pair(characters[i - 1], lengths[i], characters[i]));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    std::vector<std::string> listed;
    for (const std::uint64_t key : keys)
        listed.push_back(unpacked(key));
    std::sort(listed.begin(), listed.end());
    return listed;
}

} // namespace ordavel::postgres_journal
