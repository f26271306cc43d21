#pragma once
// SQLite's C API as the journal's SQLite engine uses it: statements prepared
// once and kept, bound by position, stepped row by row.

#include "journal/journal_engine.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ordavel::sqlite_journal {

// A failure with SQLite's extended code, so that damage can be told apart.
using DbError = EngineError;

// Whether the code says the file is not a database or is damaged.
bool isDamage(int code);
DbError errorOf(sqlite3* db, int code);
// Runs statements without parameters (the schema's, a transaction's).
DbError exec(sqlite3* db, const char* sql);

// Statements prepared once per connection and kept, by their SQL text's
// address (the texts are literals): a print's writes prepare nothing.
class StatementCache {
public:
    ~StatementCache() { clear(); }
    sqlite3_stmt* get(sqlite3* db, const char* sql, int& code)
    {
        if (const auto found = m_kept.find(sql); found != m_kept.end()) {
            code = SQLITE_OK;
            return found->second;
        }
        sqlite3_stmt* stmt = nullptr;
        code = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
        if (code == SQLITE_OK)
            m_kept.emplace(sql, stmt);
        return stmt;
    }
    // Before the connection closes.
    void clear()
    {
        for (const auto& [sql, stmt] : m_kept)
            sqlite3_finalize(stmt);
        m_kept.clear();
    }

private:
    std::unordered_map<const char*, sqlite3_stmt*> m_kept;
};

class Statement {
public:
    // Prepared for this one use.
    Statement(sqlite3* db, const char* sql)
    {
        m_code = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    // Kept in `cache` and reset for the next use when this ends.
    Statement(StatementCache& cache, sqlite3* db, const char* sql) : m_kept(true)
    {
        m_stmt = cache.get(db, sql, m_code);
    }
    ~Statement()
    {
        if (!m_kept) {
            sqlite3_finalize(m_stmt);
        } else if (m_stmt != nullptr) {
            sqlite3_reset(m_stmt);
            sqlite3_clear_bindings(m_stmt);
        }
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepared() const { return m_code == SQLITE_OK; }
    int code() const { return m_code; }

    Statement& bind(int at, std::int64_t value)
    {
        sqlite3_bind_int64(m_stmt, at, value);
        return *this;
    }
    Statement& bind(int at, int value) { return bind(at, static_cast<std::int64_t>(value)); }
    Statement& bind(int at, std::string_view text)
    {
        sqlite3_bind_text(m_stmt, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int at, const std::string& text) { return bind(at, std::string_view(text)); }
    Statement& bind(int at, const char* text) { return bind(at, std::string_view(text)); }
    // Text that outlives the statement's next step: not copied.
    Statement& bindStatic(int at, std::string_view text)
    {
        sqlite3_bind_text(m_stmt, at, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        return *this;
    }
    Statement& bindBlob(int at, std::string_view bytes)
    {
        sqlite3_bind_blob(m_stmt, at, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
        return *this;
    }

    // True with a row to read, false when done; code() tells a failure.
    bool step()
    {
        if (m_code != SQLITE_OK && m_code != SQLITE_ROW)
            return false;
        const int code = sqlite3_step(m_stmt);
        if (code == SQLITE_ROW) {
            m_code = SQLITE_ROW;
            return true;
        }
        m_code = code == SQLITE_DONE ? SQLITE_OK : code;
        return false;
    }
    void reset()
    {
        sqlite3_reset(m_stmt);
        if (m_code == SQLITE_ROW)
            m_code = SQLITE_OK;
    }

    std::int64_t integer(int column) const { return sqlite3_column_int64(m_stmt, column); }
    std::string text(int column) const
    {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_stmt, column));
        return bytes == nullptr ? std::string() : std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)));
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_code = SQLITE_OK;
    bool m_kept = false;
};

} // namespace ordavel::sqlite_journal
