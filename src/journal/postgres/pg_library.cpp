// The shop's template library: revisions of named templates, written once.
#include "journal/postgres/pg_engine.h"

#include "journal/postgres/pg_values.h"
#include "journal/sha256.h"

namespace ordavel::postgres_journal {

using namespace journal_detail;

namespace {

constexpr const char* kRevisionColumns =
    "name, revision, template_hash, published_at, user_name, host, station, note";

LibraryRevision revisionFromRow(const PgResult& result, int row)
{
    return {result.text(row, 0), static_cast<int>(result.integer(row, 1)), result.text(row, 2),
            result.integer(row, 3), result.text(row, 4), result.text(row, 5), result.text(row, 6),
            result.text(row, 7)};
}

} // namespace

JournalResult<LibraryRevision> PgEngine::publishTemplate(const std::string& name, const std::string& bytes,
                                                         const std::string& note)
{
    JournalResult<LibraryRevision> result;
    const std::string hash = sha256Hex(bytes);
    const JournalTime at = now();
    result.error = write([&]() -> EngineError {
        // Two stations publishing one name at once take turns, so each gets its own number.
        if (EngineError error = m_connection.execute("SELECT pg_advisory_xact_lock(hashtextextended('library:' || $1, 0))",
                                                     {text(name)});
            error.failed())
            return error;
        const std::string latestSql = std::string("SELECT ") + kRevisionColumns
                                      + " FROM library WHERE name = $1 ORDER BY revision DESC LIMIT 1";
        PgResult latest = m_connection.run(latestSql.c_str(), {text(name)});
        if (EngineError error = m_connection.failure(latest); error.failed())
            return error;
        if (latest.rows() > 0 && latest.text(0, 2) == hash) {
            result.value = revisionFromRow(latest, 0); // the same bytes: no new revision
            return {};
        }
        if (EngineError error = m_connection.execute(
                "INSERT INTO templates(hash, bytes, size, first_seen) VALUES ($1, $2, $3, $4) ON CONFLICT (hash) DO NOTHING",
                {hash, PgParam::bytes(bytes), static_cast<std::int64_t>(bytes.size()), at});
            error.failed())
            return error;
        result.value = {wellFormedText(name), latest.rows() > 0 ? static_cast<int>(latest.integer(0, 1)) + 1 : 1,
                        hash, at, userName(), hostName(), m_station, wellFormedText(note)};
        const LibraryRevision& made = result.value;
        return m_connection.execute("INSERT INTO library(name, revision, template_hash, published_at, user_name, host,"
                                    " station, note) VALUES ($1, $2, $3, $4, $5, $6, $7, $8)",
                                    {made.name, made.revision, made.hash, made.publishedAt, text(made.user),
                                     text(made.host), text(made.station), made.note});
    });
    if (!result.ok())
        result.value = {};
    return result;
}

JournalResult<std::vector<LibraryRevision>> PgEngine::libraryTemplates()
{
    JournalResult<std::vector<LibraryRevision>> result;
    const std::string sql = std::string("SELECT DISTINCT ON (name) ") + kRevisionColumns
                            + " FROM library ORDER BY name, revision DESC";
    result.error = read([&] {
        PgResult select = m_connection.run(sql.c_str());
        for (int row = 0; row < select.rows(); ++row)
            result.value.push_back(revisionFromRow(select, row));
        return m_connection.failure(select);
    });
    return result;
}

JournalResult<std::optional<LibraryTemplate>> PgEngine::libraryTemplate(const std::string& name, int revision)
{
    JournalResult<std::optional<LibraryTemplate>> result;
    const std::string sql = std::string("SELECT ") + kRevisionColumns
                            + " FROM library WHERE name = $1 AND ($2 = 0 OR revision = $2)"
                              " ORDER BY revision DESC LIMIT 1";
    result.error = read([&]() -> EngineError {
        PgResult select = m_connection.run(sql.c_str(), {text(name), revision});
        if (EngineError error = m_connection.failure(select); error.failed() || select.rows() == 0)
            return error;
        LibraryTemplate found{revisionFromRow(select, 0), {}};
        PgResult bytes = m_connection.run("SELECT bytes FROM templates WHERE hash = $1", {found.revision.hash}, true);
        if (EngineError error = m_connection.failure(bytes); error.failed())
            return error;
        if (bytes.rows() == 0)
            return {kFailed, "the library lost the bytes of " + name + " revision " + std::to_string(found.revision.revision)};
        found.bytes = bytes.text(0, 0);
        result.value = std::move(found);
        return {};
    });
    return result;
}

} // namespace ordavel::postgres_journal
