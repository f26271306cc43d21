#include "journal/postgres/pg_schema.h"

#include <array>

namespace ordavel::postgres_journal {

namespace {

// Each job keeps its station ('' until stations are named); each record its
// values as the SQLite journal keeps them (JSON text), and its search text
// with ASCII letters in lower case, so that LIKE finds what the SQLite
// journal's case-blind LIKE finds. `changes` holds a count per connection
// that each of its writing statements raises: their sum changes with every
// write, and no two connections wait for one row. The template library's
// revisions keep their bytes in `templates` beside the jobs' and are never
// changed or removed once written.
constexpr const char* kSchemaV1 = R"sql(
CREATE TABLE journal_schema(version integer NOT NULL);
CREATE TABLE templates(hash text PRIMARY KEY, bytes bytea NOT NULL, size bigint NOT NULL, first_seen bigint NOT NULL);
CREATE TABLE jobs(
  id bigserial PRIMARY KEY,
  created_at bigint NOT NULL,
  finished_at bigint NOT NULL DEFAULT 0,
  user_name text NOT NULL,
  host text NOT NULL,
  station text NOT NULL DEFAULT '',
  program text NOT NULL,
  kind text NOT NULL,
  printer text NOT NULL,
  template_path text NOT NULL,
  template_name text NOT NULL,
  template_hash text NOT NULL REFERENCES templates(hash),
  calibration text NOT NULL,
  copies integer NOT NULL,
  data_source text NOT NULL DEFAULT '',
  repeats bigint NOT NULL DEFAULT 0,
  outcome text NOT NULL,
  reason text NOT NULL DEFAULT '',
  claimant text NOT NULL DEFAULT '',
  cups_job_ids text NOT NULL DEFAULT '',
  record_count integer NOT NULL,
  resume_offered boolean NOT NULL DEFAULT false,
  library_revision integer NOT NULL DEFAULT 0);
CREATE INDEX jobs_created ON jobs(created_at);
CREATE INDEX jobs_unfinished ON jobs(program) WHERE outcome IN ('queued', 'printing');
CREATE INDEX jobs_template ON jobs(template_hash);
CREATE TABLE records(
  id bigserial PRIMARY KEY,
  job_id bigint NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,
  idx integer NOT NULL,
  number integer NOT NULL,
  copies integer NOT NULL,
  fields text NOT NULL,
  columns text NOT NULL,
  outcome text NOT NULL,
  reason text NOT NULL DEFAULT '',
  cups_job_id integer NOT NULL DEFAULT 0,
  counter_names text NOT NULL DEFAULT '[]',
  counter_values text NOT NULL DEFAULT '',
  search_text text NOT NULL DEFAULT '',
  sheet integer NOT NULL DEFAULT 0,
  cell integer NOT NULL DEFAULT 0,
  UNIQUE(job_id, idx));
CREATE TABLE counters(name text PRIMARY KEY, next_value bigint NOT NULL);
CREATE TABLE uploads(station text NOT NULL, local_id bigint NOT NULL, uploaded_at bigint NOT NULL,
  PRIMARY KEY(station, local_id));
CREATE TABLE stations(name text PRIMARY KEY, user_name text NOT NULL, host text NOT NULL, joined_at bigint NOT NULL);
CREATE INDEX jobs_station ON jobs(station, created_at);
CREATE TABLE library(
  name text NOT NULL,
  revision integer NOT NULL CHECK (revision > 0),
  template_hash text NOT NULL REFERENCES templates(hash),
  published_at bigint NOT NULL,
  user_name text NOT NULL,
  host text NOT NULL,
  station text NOT NULL DEFAULT '',
  note text NOT NULL DEFAULT '',
  PRIMARY KEY (name, revision));
CREATE FUNCTION library_unchangeable() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  RAISE EXCEPTION 'a revision of the template library cannot be changed or removed';
END $$;
CREATE TRIGGER library_kept BEFORE UPDATE OR DELETE ON library FOR EACH ROW EXECUTE FUNCTION library_unchangeable();
CREATE TABLE changes(backend integer PRIMARY KEY, count bigint NOT NULL);
CREATE FUNCTION journal_changed() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  INSERT INTO changes(backend, count) VALUES (pg_backend_pid(), 1)
    ON CONFLICT (backend) DO UPDATE SET count = changes.count + 1;
  RETURN NULL;
END $$;
CREATE TRIGGER jobs_changed AFTER INSERT OR UPDATE OR DELETE ON jobs FOR EACH STATEMENT EXECUTE FUNCTION journal_changed();
CREATE TRIGGER records_changed AFTER INSERT OR UPDATE OR DELETE ON records FOR EACH STATEMENT EXECUTE FUNCTION journal_changed();
CREATE TRIGGER counters_changed AFTER INSERT OR UPDATE OR DELETE ON counters FOR EACH STATEMENT EXECUTE FUNCTION journal_changed();
INSERT INTO journal_schema(version) VALUES (1);
)sql";

// Version 2: the shop's print queue. Every station publishes its printers
// (`shop_printers`, refreshed while its service runs); a pool names shop
// printers "STATION/PRINTER" tried in order; tokens are kept once for the
// whole shop, as SHA-256 like the station's token file keeps them.
//
// A job of the service posted to the shop's queue says so in its data
// source ({"service": {"queue": "shop", ...}}). Recording it gives, in the
// same transaction, its key (unique per token across the shop) and one
// `print_queue` row per record, and notifies channel `print_queue` with the
// target: the notification only says where to look. A row is `queued`,
// `claimed` by a holder under a lease (attempt rises with each claim),
// `handed` once its holder may have given it to its spooler, or `uncertain`
// when that holder's lease ran out after the hand-over. A finished record's
// row is deleted: the journal's tables keep the history.
constexpr const char* kSchemaV2 = R"sql(
CREATE TABLE shop_printers(
  station text NOT NULL,
  printer text NOT NULL,
  state text NOT NULL,
  accepting boolean NOT NULL,
  reason text NOT NULL DEFAULT '',
  updated timestamptz NOT NULL DEFAULT now(),
  PRIMARY KEY (station, printer));
CREATE TABLE shop_pools(
  name text PRIMARY KEY CHECK (name <> '' AND strpos(name, '/') = 0),
  members text[] NOT NULL CHECK (cardinality(members) > 0));
CREATE TABLE shop_tokens(
  name text PRIMARY KEY,
  hash text NOT NULL UNIQUE,
  origins text[] NOT NULL DEFAULT '{}',
  printers text[] NOT NULL DEFAULT '{}',
  templates text[] NOT NULL DEFAULT '{}',
  created_at bigint NOT NULL);
CREATE TABLE service_keys(
  owner text NOT NULL,
  key text NOT NULL,
  job_id bigint NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,
  PRIMARY KEY (owner, key));
CREATE TABLE print_queue(
  job_id bigint NOT NULL REFERENCES jobs(id) ON DELETE CASCADE,
  idx integer NOT NULL,
  target text NOT NULL,
  state text NOT NULL DEFAULT 'queued' CHECK (state IN ('queued', 'claimed', 'handed', 'uncertain')),
  station text NOT NULL DEFAULT '',
  printer text NOT NULL DEFAULT '',
  holder text NOT NULL DEFAULT '',
  attempt integer NOT NULL DEFAULT 0,
  lease_until timestamptz,
  cups_job integer NOT NULL DEFAULT 0,
  PRIMARY KEY (job_id, idx));
CREATE INDEX print_queue_waiting ON print_queue(target, job_id, idx) WHERE state = 'queued';
CREATE INDEX print_queue_held ON print_queue(holder) WHERE state IN ('claimed', 'handed');
CREATE INDEX print_queue_station ON print_queue(station) WHERE state <> 'queued';
CREATE FUNCTION shop_queue_of(program text, data_source text) RETURNS jsonb LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
  IF program <> 'service' OR left(data_source, 1) <> '{' THEN
    RETURN NULL;
  END IF;
  IF (data_source::jsonb #>> '{service,queue}') IS DISTINCT FROM 'shop' THEN
    RETURN NULL;
  END IF;
  RETURN data_source::jsonb -> 'service';
END $$;
CREATE FUNCTION service_key_taken() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
  s jsonb := shop_queue_of(NEW.program, NEW.data_source);
BEGIN
  IF s IS NOT NULL AND coalesce(s ->> 'key', '') <> '' THEN
    INSERT INTO service_keys(owner, key, job_id) VALUES (s ->> 'token', s ->> 'key', NEW.id);
  END IF;
  RETURN NULL;
END $$;
CREATE TRIGGER jobs_keyed AFTER INSERT ON jobs FOR EACH ROW EXECUTE FUNCTION service_key_taken();
CREATE FUNCTION print_queue_filled() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
  t text;
BEGIN
  FOR t IN
    WITH added AS (
      INSERT INTO print_queue(job_id, idx, target)
      SELECT n.job_id, n.idx, j.printer FROM new_records n JOIN jobs j ON j.id = n.job_id
      WHERE n.outcome = 'queued' AND shop_queue_of(j.program, j.data_source) IS NOT NULL
      RETURNING target)
    SELECT DISTINCT target FROM added
  LOOP
    PERFORM pg_notify('print_queue', t);
  END LOOP;
  RETURN NULL;
END $$;
CREATE TRIGGER records_queued AFTER INSERT ON records REFERENCING NEW TABLE AS new_records
  FOR EACH STATEMENT EXECUTE FUNCTION print_queue_filled();
)sql";

// Version 3: where each record of the shop's queue went, and failover.
// A record keeps the station and printer it was handed to, for the history
// after its queue row is gone; a queue row keeps the pool members that
// failed its job, which it is no longer offered to.
constexpr const char* kSchemaV3 = R"sql(
ALTER TABLE records ADD COLUMN station text NOT NULL DEFAULT '', ADD COLUMN printed_on text NOT NULL DEFAULT '';
ALTER TABLE print_queue ADD COLUMN failed_on text[] NOT NULL DEFAULT '{}';
)sql";

// Version 4: each job keeps the search keys of its records' texts (see
// pg_search_keys.h), written with its records, so that a search for words
// beyond ASCII reads only the records of the jobs holding their keys. The
// jobs already recorded get theirs from their records here, as the program
// makes them: each character beyond ASCII, and each pair of neighbours of
// which one is, neither a line break.
//
// A batch's records are written once and updated once, when they are handed
// over: half of each page is left for that update, so that it rewrites no
// index (the trigram index above all). And a record's job is checked once a
// statement, over all the records it writes, instead of once a record: the
// jobs are locked as a foreign key locks them (a job cannot go while records
// are written for it), a record's job cannot change, and a job removed
// takes its records with it.
constexpr const char* kSchemaV4 = R"sql(
ALTER TABLE jobs ADD COLUMN search_keys text[] NOT NULL DEFAULT '{}';
UPDATE jobs j SET search_keys = k.keys FROM (
  SELECT r.job_id, array_agg(DISTINCT v.key) AS keys
  FROM records r
  CROSS JOIN LATERAL regexp_split_to_array(r.search_text, '') AS c
  CROSS JOIN LATERAL generate_series(1, cardinality(c)) AS i
  CROSS JOIN LATERAL (VALUES (c[i]), (c[i] || c[i + 1])) AS v(key)
  WHERE octet_length(v.key) > length(v.key) AND strpos(v.key, E'\n') = 0
  GROUP BY r.job_id) k
WHERE k.job_id = j.id;
CREATE INDEX jobs_search_keys ON jobs USING gin (search_keys);
ALTER TABLE records SET (fillfactor = 50);
ALTER TABLE records DROP CONSTRAINT records_job_id_fkey;
CREATE FUNCTION records_job_held() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
  held bigint[] := ARRAY(SELECT DISTINCT job_id FROM new_records ORDER BY job_id);
  found integer;
BEGIN
  WITH locked AS (SELECT id FROM jobs WHERE id = ANY (held) ORDER BY id FOR KEY SHARE)
  SELECT count(*) INTO found FROM locked;
  IF found < cardinality(held) THEN
    RAISE EXCEPTION 'a record of no job' USING ERRCODE = 'foreign_key_violation';
  END IF;
  RETURN NULL;
END $$;
CREATE TRIGGER records_held AFTER INSERT ON records REFERENCING NEW TABLE AS new_records
  FOR EACH STATEMENT EXECUTE FUNCTION records_job_held();
CREATE FUNCTION records_job_kept() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  RAISE EXCEPTION 'a record stays with its job' USING ERRCODE = 'foreign_key_violation';
END $$;
CREATE TRIGGER records_kept BEFORE UPDATE ON records FOR EACH ROW WHEN (OLD.job_id IS DISTINCT FROM NEW.job_id)
  EXECUTE FUNCTION records_job_kept();
CREATE FUNCTION jobs_records_removed() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  DELETE FROM records WHERE job_id IN (SELECT id FROM old_jobs);
  RETURN NULL;
END $$;
CREATE TRIGGER jobs_removed AFTER DELETE ON jobs REFERENCING OLD TABLE AS old_jobs
  FOR EACH STATEMENT EXECUTE FUNCTION jobs_records_removed();
)sql";

// Version 5: the trigger that checks a statement's records' jobs plans its
// lookup for the jobs at hand each time. A plan kept for the whole session
// was made when the jobs table was nearly empty and scanned every job for
// each insert once the table had grown: most of the server's time while
// stations record jobs at full speed.
constexpr const char* kSchemaV5 = R"sql(
ALTER FUNCTION records_job_held() SET plan_cache_mode = force_custom_plan;
)sql";

// The steps from each version to the next: kSchemaSteps[v - 1] moves a
// database from version v to v + 1.
constexpr std::array<const char*, kSchemaVersion - 1> kSchemaSteps{kSchemaV2, kSchemaV3, kSchemaV4, kSchemaV5};

// Two programs initialising one shop at once take turns on this lock.
constexpr const char* kInitLock = "SELECT pg_advisory_xact_lock(7406853110)";

JournalResult<int> versionOf(PgConnection& connection)
{
    JournalResult<int> result;
    PgResult exists = connection.run("SELECT to_regclass('journal_schema') IS NOT NULL");
    if (EngineError error = connection.failure(exists); error.failed())
        return {0, error.message};
    if (!exists.boolean(0, 0))
        return result; // 0: none
    PgResult version = connection.run("SELECT max(version) FROM journal_schema");
    if (EngineError error = connection.failure(version); error.failed())
        return {0, error.message};
    result.value = static_cast<int>(version.integer(0, 0));
    return result;
}

std::string newerMessage(int version)
{
    return "the shop's journal was written by a newer program (schema " + std::to_string(version) + ")";
}

} // namespace

JournalResult<int> initSchema(const std::string& url, int upTo)
{
    if (upTo < 1 || upTo > kSchemaVersion)
        return {0, "no schema version " + std::to_string(upTo)};
    PgConnection connection;
    if (EngineError error = connection.connect(url); error.failed())
        return {0, error.message};
    // Making the tables may take longer than a print may wait.
    if (EngineError error = connection.execute("SET statement_timeout = 0"); error.failed())
        return {0, error.message};
    if (EngineError error = connection.execute("BEGIN"); error.failed())
        return {0, error.message};
    const auto fail = [&](const std::string& message) {
        connection.execute("ROLLBACK");
        return JournalResult<int>{0, message};
    };
    if (EngineError error = connection.execute(kInitLock); error.failed())
        return fail(error.message);
    JournalResult<int> version = versionOf(connection);
    if (!version.ok())
        return fail(version.error);
    if (version.value > kSchemaVersion)
        return fail(newerMessage(version.value));
    if (version.value == 0) {
        PgResult tables = connection.run("SELECT count(*) FROM pg_tables WHERE schemaname = current_schema()"
                                         " AND tablename IN ('jobs', 'records', 'templates', 'counters')");
        if (EngineError error = connection.failure(tables); error.failed())
            return fail(error.message);
        if (tables.integer(0, 0) != 0)
            return fail("the database holds tables of that name that are not a shop's journal");
        if (EngineError error = connection.script(kSchemaV1); error.failed())
            return fail(error.message);
        // A trigram index lets a search skip the records that cannot match;
        // without the extension (not installed, or not allowed) a search reads them all.
        connection.execute("SAVEPOINT trigrams");
        if (connection.execute("CREATE EXTENSION IF NOT EXISTS pg_trgm").failed()
            || connection.execute("CREATE INDEX records_search ON records USING gin (search_text gin_trgm_ops)").failed())
            connection.execute("ROLLBACK TO trigrams");
        connection.execute("RELEASE trigrams");
        version.value = 1;
    }
    for (; version.value < upTo; ++version.value) {
        if (EngineError error = connection.script(kSchemaSteps[version.value - 1]); error.failed())
            return fail(error.message);
        if (EngineError error = connection.execute("UPDATE journal_schema SET version = $1", {version.value + 1});
            error.failed())
            return fail(error.message);
    }
    if (EngineError error = connection.execute("COMMIT"); error.failed())
        return {0, error.message};
    return version;
}

JournalResult<int> checkSchema(PgConnection& connection)
{
    JournalResult<int> version = versionOf(connection);
    if (!version.ok())
        return version;
    if (version.value == 0)
        return {0, "the database holds no shop's journal (" + connection.name() + ")"};
    if (version.value > kSchemaVersion)
        return {0, newerMessage(version.value)};
    if (version.value < kSchemaVersion)
        return {0, "the shop's journal has an older schema (" + std::to_string(version.value)
                       + "): it must be brought forward first"};
    return version;
}

} // namespace ordavel::postgres_journal
