#include "journal/sqlite/sqlite_engine.h"

#include "journal/search_tokenizer.h"
#include "journal/sqlite/sqlite_schema.h"

#include <ctime>
#include <filesystem>
#include <system_error>

namespace ordavel::sqlite_journal {

namespace {

namespace fs = std::filesystem;

// Pages in the write-ahead log at which a commit copies them into the
// database file itself, rather than leaving it to the tidying after a print.
constexpr int kCommitCheckpointPages = 10000;

// Journal paths are UTF-8; built from char8_t they name the same file on every system.
fs::path pathOf(const std::string& name) { return fs::path(std::u8string(name.begin(), name.end())); }

std::string damageNotice(const std::string& message, const std::string& moved)
{
    return "the journal was damaged (" + message + "); it was set aside as \"" + moved + "\" and a new one started";
}

} // namespace

Journal::Opened SqliteEngine::open(const std::string& path, std::unique_ptr<JournalEngine>& engine)
{
    Journal::Opened opened;
    std::error_code ec;
    const fs::path folder = pathOf(path).parent_path();
    if (!folder.empty())
        fs::create_directories(folder, ec);
    std::unique_ptr<SqliteEngine> made(new SqliteEngine);
    made->m_path = path;
    DbError error = made->connect();
    if (isDamage(error.code)) {
        opened.setAside = made->setAside();
        if (opened.setAside.empty()) {
            opened.error = error.message + " (and it could not be set aside)";
            return opened;
        }
        made->m_notice = damageNotice(error.message, opened.setAside);
        error = made->connect();
    }
    if (error.code != SQLITE_OK) {
        opened.error = error.message;
        // SQLite names a full disk only where it notices it; its shared-memory file fails first.
        if ((error.code & 0xff) != SQLITE_FULL && !folder.empty()
            && journal_system::diskFull(reinterpret_cast<const char*>(folder.u8string().c_str())))
            opened.error += " (the disk is full)";
        return opened;
    }
    engine = std::move(made);
    return opened;
}

SqliteEngine::~SqliteEngine() { close(); }

void SqliteEngine::close()
{
    m_statements.clear();
    if (m_db != nullptr)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

// After each commit of this connection: notes the pages in the log and
// copies them into the database file once there are 10,000, as SQLite's
// own automatic checkpoint would (this hook takes its place).
int SqliteEngine::walHook(void* engine, sqlite3* db, const char* name, int pages)
{
    static_cast<SqliteEngine*>(engine)->m_logPages = pages;
    if (pages >= kCommitCheckpointPages)
        sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return SQLITE_OK;
}

// Opens the file, sets WAL and full synchronous commits and brings the
// schema to kSchemaVersion.
DbError SqliteEngine::connect()
{
    close();
    const int code = sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                     nullptr);
    if (code != SQLITE_OK) {
        DbError error = errorOf(m_db, code);
        close();
        return error;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    // journal_mode reads the header first: a file that is not a database fails here.
    // The write-ahead log is copied into the database file (a checkpoint,
    // two more waits for the disk) when the journal is tidied after a
    // print (indexSearch); a commit does it itself only once the log holds
    // 10,000 pages (walHook), and a log left larger is cut back to 4 MiB.
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL", "PRAGMA foreign_keys=ON",
                               "PRAGMA journal_size_limit=4194304"})
        if (DbError error = exec(m_db, pragma); error.code != SQLITE_OK)
            return error;
    sqlite3_wal_hook(m_db, walHook, this);
    if (std::string error = registerSearchTokenizer(m_db); !error.empty())
        return {SQLITE_ERROR, error};
    m_identity = journal_system::fileIdentity(m_path);
    return migrate(m_db, m_version);
}

std::string SqliteEngine::setAside()
{
    close();
    char stamp[32];
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string target = m_path + ".damaged-" + stamp;
    std::error_code ec;
    for (int n = 2; fs::exists(pathOf(target), ec); ++n)
        target = m_path + ".damaged-" + stamp + "-" + std::to_string(n);
    fs::rename(pathOf(m_path), pathOf(target), ec);
    if (ec)
        return {};
    fs::rename(pathOf(m_path + "-wal"), pathOf(target + "-wal"), ec);
    fs::remove(pathOf(m_path + "-shm"), ec);
    return target;
}

bool SqliteEngine::recover(const DbError& error)
{
    if (!isDamage(error.code))
        return false;
    const std::string moved = setAside();
    if (moved.empty())
        return false;
    m_notice = damageNotice(error.message, moved);
    return connect().code == SQLITE_OK;
}

EngineError SqliteEngine::savepoint(int depth)
{
    return exec(m_db, ("SAVEPOINT s" + std::to_string(depth)).c_str());
}

EngineError SqliteEngine::releaseSavepoint(int depth)
{
    return exec(m_db, ("RELEASE s" + std::to_string(depth)).c_str());
}

EngineError SqliteEngine::rollbackToSavepoint(int depth)
{
    return exec(m_db, ("ROLLBACK TO s" + std::to_string(depth)).c_str());
}

std::string SqliteEngine::takeNotice()
{
    std::string notice;
    notice.swap(m_notice);
    return notice;
}

bool SqliteEngine::isCurrent() const
{
    return m_db != nullptr && m_identity.has_value() && journal_system::fileIdentity(m_path) == m_identity;
}

} // namespace ordavel::sqlite_journal
