#pragma once
// The tables of a shop's journal in PostgreSQL: made and brought forward by
// initSchema (a role allowed to create them), checked by every station that
// opens the journal.

#include "journal/postgres/pg_connection.h"

namespace ordavel::postgres_journal {

// The schema this program writes. Version 1 is the first one; each later
// step moves a database forward by one version. Version 2 adds the shop's
// print queue, its printers, pools and tokens; version 3 where each queued
// record printed and the pool members that failed a job; version 4 the
// jobs' search keys for words beyond ASCII.
constexpr int kSchemaVersion = 5;

// Makes the shop's tables, or brings older ones forward, up to version
// `upTo` (the current one unless a test asks for an older shop). A database
// already at or beyond `upTo` is left as it is (beyond this program's
// version: an error). The version it holds afterwards, or the error.
JournalResult<int> initSchema(const std::string& url, int upTo = kSchemaVersion);
// The schema version of the connected database; an error when it holds no
// shop journal or one of another version than kSchemaVersion.
JournalResult<int> checkSchema(PgConnection& connection);

} // namespace ordavel::postgres_journal
