#include "journal/search_tokenizer.h"

#include <sqlite3.h>

#include <string>

namespace ordavel {
namespace {

// The search index's tokenizer. The values of a record, joined by newlines,
// are cut into characters as SQLite's LIKE reads them (a byte from 0xc0 up
// with the continuation bytes after it, any other byte alone), ASCII letters
// folded to lower case. Within each value every three adjacent characters
// are a token, and the value's last two characters one more:
//
//   "ORD-5\n张三" -> "ord" "rd-" "d-5" "-5" "张三"
//
// A text of three characters or more then occurs in a record exactly when
// the phrase of its three-character tokens does; a text of two characters
// exactly when a token starts with it (a prefix query: the pair is followed
// by a third character or ends its value). That is what LIKE '%text%'
// finds, from an index about the size of a plain trigram one.
//
// No phrase runs from one value into the next: no token spans two values,
// and a value's three-character tokens are followed by its last pair, which
// no three-character token of a query equals. A query is cut into its
// three-character tokens only (or its pair, when it has two characters);
// queries holding a newline are not asked of the index (see listJobs).
constexpr const char* kSearchTokenizer = "value_trigrams";

using TokenSink = int (*)(void* context, int flags, const char* token, int size, int start, int end);

int createSearchTokenizer(void*, const char**, int, Fts5Tokenizer** out)
{
    // Nothing to keep per table; FTS5 wants a pointer all the same.
    static char instance;
    *out = reinterpret_cast<Fts5Tokenizer*>(&instance);
    return SQLITE_OK;
}

void deleteSearchTokenizer(Fts5Tokenizer*) {}

int tokenizeValues(Fts5Tokenizer*, void* context, int flags, const char* text, int size, TokenSink sink)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const bool query = (flags & FTS5_TOKENIZE_QUERY) != 0;
    std::string token;
    int older = -1;        // where the character before the last one starts
    int last = -1;         // where the last character starts
    int length = 0;        // characters of the value so far
    const auto emit = [&](int from, int to) {
        token.clear();
        for (int i = from; i < to; ++i)
            token += static_cast<char>(bytes[i] >= 'A' && bytes[i] <= 'Z' ? bytes[i] + ('a' - 'A') : bytes[i]);
        return sink(context, 0, token.data(), static_cast<int>(token.size()), from, to);
    };
    // The end of a value at byte `end`: its last two characters.
    const auto close = [&](int end) {
        int code = SQLITE_OK;
        if (length >= 2 && (!query || length == 2))
            code = emit(older, end);
        older = last = -1;
        length = 0;
        return code;
    };
    for (int at = 0; at < size;) {
        const int start = at;
        if (bytes[at++] >= 0xc0)
            while (at < size && (bytes[at] & 0xc0) == 0x80)
                ++at;
        if (bytes[start] == '\n') {
            if (const int code = close(start); code != SQLITE_OK)
                return code;
            continue;
        }
        if (length >= 2)
            if (const int code = emit(older, at); code != SQLITE_OK)
                return code;
        older = last;
        last = start;
        ++length;
    }
    return close(size);
}

} // namespace

std::string registerSearchTokenizer(sqlite3* db)
{
    fts5_api* api = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &stmt, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(stmt, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
        sqlite3_step(stmt);
    }
    sqlite3_finalize(stmt);
    if (api == nullptr || api->iVersion < 2)
        return "this SQLite has no full-text search (FTS5)";
    static fts5_tokenizer tokenizer = {createSearchTokenizer, deleteSearchTokenizer, tokenizeValues};
    const int code = api->xCreateTokenizer(api, kSearchTokenizer, nullptr, &tokenizer, nullptr);
    if (code != SQLITE_OK)
        return std::string("the search tokenizer could not be registered: ") + sqlite3_errstr(code);
    return {};
}

} // namespace ordavel
