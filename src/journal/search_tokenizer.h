#pragma once

#include <string>

struct sqlite3;

namespace ordavel {

// Makes the journal's search tokenizer ("value_trigrams": each value's
// three-character runs and its last pair) known to the connection; every
// connection needs it before the search index is touched, by a query, a
// write or a trigger. An empty string, or what went wrong.
std::string registerSearchTokenizer(sqlite3* db);

} // namespace ordavel
