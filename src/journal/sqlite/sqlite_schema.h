#pragma once
// The SQLite journal's tables: each schema version's step, bringing a file
// forward, and the statements the search index is kept with.

#include "journal/sqlite/sqlite_statement.h"

namespace ordavel::sqlite_journal {

// The schema this program writes. Version 1 is the first one released; each
// later step moves a file forward by one version.
constexpr int kSchemaVersion = 7;

// A record's key in the search index has its job in the bits above these
// (`<< 32` in the SQL of kSchemaV6 and kIndexSearch).
constexpr int kJobKeyShift = 32;

// Adds up to 20,000 records above search_indexed.upto to the search index,
// oldest first, and moves the mark past them.
extern const char* const kIndexSearch;

// The indexes of schemas 3 and 4, left by the upgrades: dropping one whole
// reads every page of it (seconds for a million records). Its segments (rows
// above 10 of its data table; 1 and 10 hold what opening the table reads) go
// 2,000 at a time, then the emptied table is dropped.
struct OldIndex {
    const char* left;
    const char* clear;
    const char* drop;
};
extern const OldIndex kOldIndexes[2];

// A job's columns with its record count and printed count. A job finished
// printed has every record printed, so only other jobs need their records
// read to count the printed ones: a listing of many jobs would otherwise
// read every row of them.
extern const char* const kJobColumns;

// Reads the file's schema version and brings it to kSchemaVersion in one
// write transaction (a new file gets every table). A newer version is an
// error and the file is left alone.
DbError migrate(sqlite3* db, int& version);

} // namespace ordavel::sqlite_journal
