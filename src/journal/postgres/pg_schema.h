#pragma once
// The tables of a shop's journal in PostgreSQL: made and brought forward by
// initSchema (a role allowed to create them), checked by every station that
// opens the journal.

#include "journal/postgres/pg_connection.h"

namespace ordavel::postgres_journal {

// The schema this program writes. Version 1 is the first one; each later
// step moves a database forward by one version.
constexpr int kSchemaVersion = 1;

JournalResult<int> initSchema(const std::string& url);
// The schema version of the connected database; an error when it holds no
// shop journal or one of another version than kSchemaVersion.
JournalResult<int> checkSchema(PgConnection& connection);

} // namespace ordavel::postgres_journal
