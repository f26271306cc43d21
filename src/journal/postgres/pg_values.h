#pragma once
// What the shop's journal sends and reads beyond its connection: text made
// acceptable to the server, and a job as a listing reads it.

#include "journal/postgres/pg_connection.h"
#include "journal/stored_values.h"

namespace ordavel::postgres_journal {

// Text as the server takes it (UTF-8; a stray byte as U+FFFD, no NULs).
inline PgParam text(std::string_view value) { return PgParam(journal_detail::wellFormedText(value)); }

// A record's search text as the shop keeps it: ASCII letters folded, as a search's words are.
inline std::string searchTextKept(std::string_view text)
{
    return journal_detail::foldAscii(journal_detail::wellFormedText(text));
}

// The columns of a job as jobFromRow reads them, after SELECT.
extern const char* const kJobColumns;
JournalJob jobFromRow(const PgResult& result, int row);

} // namespace ordavel::postgres_journal
