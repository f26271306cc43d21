#include "journal/sqlite/sqlite_statement.h"

namespace ordavel::sqlite_journal {

bool isDamage(int code)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

DbError errorOf(sqlite3* db, int code)
{
    if (code == SQLITE_OK || code == SQLITE_ROW)
        return {};
    const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    return {code, message != nullptr ? message : sqlite3_errstr(code)};
}

DbError exec(sqlite3* db, const char* sql)
{
    char* message = nullptr;
    const int code = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    DbError error;
    if (code != SQLITE_OK) {
        error = {sqlite3_extended_errcode(db), message != nullptr ? message : sqlite3_errstr(code)};
    }
    sqlite3_free(message);
    return error;
}

} // namespace ordavel::sqlite_journal
