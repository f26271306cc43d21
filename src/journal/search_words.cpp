#include "journal/search_words.h"

#include "journal/stored_values.h"

namespace ordavel::journal_detail {

std::vector<SearchWord> searchWords(std::string_view text)
{
    constexpr std::size_t kMostWords = 24;
    std::vector<std::string> parts;
    std::string part;
    const auto end = [&] {
        if (!part.empty())
            parts.push_back(std::move(part));
        part.clear();
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            end();
        } else if (text.substr(i, 3) == "\xe3\x80\x80") {
            end();
            i += 2;
        } else {
            part += c;
        }
    }
    end();
    std::vector<SearchWord> words;
    for (const auto& word : parts) {
        if (words.size() == kMostWords)
            break;
        SearchWord w;
        w.text = word;
        w.like = "%";
        for (const char c : word) {
            if (c == '%' || c == '_' || c == '\\')
                w.like += '\\';
            w.like += c;
        }
        w.like += '%';
        // The index answers a word of three characters or more as a
        // phrase, of two as a prefix.
        const std::size_t length = utf8Length(word);
        if (length >= 2 && isWellFormedUtf8(word)) {
            w.prefix = length == 2;
            w.term = "\"";
            for (const char c : word)
                w.term += c == '"' ? std::string("\"\"") : std::string(1, c);
            w.term += w.prefix ? "\"*" : "\"";
        }
        words.push_back(std::move(w));
    }
    return words;
}

} // namespace ordavel::journal_detail
