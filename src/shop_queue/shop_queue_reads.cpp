#include "shop_queue/shop_queue.h"

#include "shop_queue/queued_targets.h"

#include "journal/stored_values.h"
#include "service/service_job_data.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <map>

// What the service reads of the shop's jobs: summaries, values, templates.
namespace ordavel::service {

using ordavel::postgres_journal::PgResult;

namespace {

Outcome outcomeNamed(const std::string& name)
{
    for (const Outcome o : {Outcome::Queued, Outcome::Printing, Outcome::Printed, Outcome::Failed, Outcome::Cancelled,
                            Outcome::Expired})
        if (name == outcomeName(o))
            return o;
    return Outcome::Failed;
}

// The columns of a job that a summary shows, for readJob and listSince.
constexpr const char* kSummaryColumns =
    "j.id, j.data_source, j.template_name, j.printer, j.copies, j.created_at, j.repeats, j.reason,"
    " j.template_path, j.template_hash";

// The token, key and expiry a job's data source keeps, into `s`.
void serviceFields(const std::string& dataSource, JobSummary& s)
{
    if (const auto data = serviceDataOf(dataSource)) {
        s.owner = data->owner;
        s.key = data->key;
        s.expiresSeconds = data->expires;
    }
}

JobSummary summaryOf(const PgResult& r, int row)
{
    JobSummary s;
    s.id = r.integer(row, 0);
    serviceFields(r.text(row, 1), s);
    s.templateName = r.text(row, 2);
    s.printer = r.text(row, 3);
    s.copies = static_cast<int>(r.integer(row, 4));
    s.created = static_cast<std::time_t>(r.integer(row, 5));
    s.repeats = r.integer(row, 6);
    s.reason = r.text(row, 7);
    return s;
}

constexpr const char* kUncertain = "有记录交给了已停止的工作站的打印机，是否打印出不确定";

// A row of the summary columns followed by the job's uncertain rows and its
// records as a JSON array of [outcome, CUPS job, station, printer];
// nothing when the records cannot be read.
std::optional<JobSummary> summaryWithRecords(const PgResult& job, int row)
{
    JobSummary s = summaryOf(job, row);
    const auto records = nlohmann::json::parse(job.text(row, 11), nullptr, false);
    if (!records.is_array())
        return std::nullopt;
    int n = 0;
    for (const auto& r : records) {
        if (!r.is_array() || r.size() != 4 || !r[0].is_string() || !r[1].is_number_integer() || !r[2].is_string()
            || !r[3].is_string())
            return std::nullopt;
        Outcome o = outcomeNamed(r[0].get<std::string>());
        const int cups = r[1].get<int>();
        if (!isFinal(o))
            o = cups > 0 ? Outcome::Printing : Outcome::Queued;
        s.records.push_back({++n, o, cups, r[2].get<std::string>(), r[3].get<std::string>()});
    }
    settleJob(s);
    if (job.integer(row, 10) > 0 && s.reason.empty())
        s.reason = kUncertain;
    return s;
}

} // namespace

std::optional<JobSummary> ShopQueue::readJob(std::int64_t id)
{
    std::vector<JobSummary> found = readJobs({id});
    if (found.empty())
        return std::nullopt;
    return std::move(found.front());
}

std::vector<JobSummary> ShopQueue::readJobs(const std::vector<std::int64_t>& ids)
{
    std::vector<JobSummary> out;
    if (ids.empty())
        return out;
    std::string idArray = "{";
    for (const std::int64_t id : ids)
        idArray += (idArray.size() > 1 ? "," : "") + std::to_string(id);
    idArray += "}";
    // One statement: each job, its uncertain rows and its records as arrays
    // in record order. Asked after every change a station announces.
    PgResult jobs = m_db.run((std::string("SELECT ") + kSummaryColumns
                              + ", (SELECT count(*) FROM print_queue q WHERE q.job_id = j.id AND q.state = 'uncertain'),"
                                " (SELECT coalesce(json_agg(json_build_array(outcome, cups_job_id, station, printed_on)"
                                "   ORDER BY idx), '[]') FROM records WHERE job_id = j.id)"
                                " FROM jobs j"
                                " WHERE j.id = ANY($1::bigint[]) AND shop_queue_of(j.program, j.data_source) IS NOT NULL")
                                 .c_str(),
                             {idArray});
    std::map<std::int64_t, JobSummary> byId;
    for (int row = 0; row < jobs.rows(); ++row)
        if (auto s = summaryWithRecords(jobs, row))
            byId.emplace(s->id, std::move(*s));
    for (const std::int64_t id : ids)
        if (const auto it = byId.find(id); it != byId.end())
            out.push_back(it->second);
    return out;
}

std::vector<JobSummary> ShopQueue::findAll(const std::vector<std::int64_t>& ids)
{
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return {};
    return readJobs(ids);
}

std::optional<JobSummary> ShopQueue::find(std::int64_t id)
{
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return std::nullopt;
    return readJob(id);
}

std::optional<JobSummary> ShopQueue::findByKey(const std::string& owner, const std::string& key)
{
    if (key.empty())
        return std::nullopt;
    const auto id = jobOfKey(owner, key);
    return id ? find(*id) : std::nullopt;
}

std::vector<JobSummary> ShopQueue::listSince(const std::string& owner, std::time_t since)
{
    const std::lock_guard lock(m_dbMutex);
    std::vector<JobSummary> out;
    if (m_db.reconnect().failed())
        return out;
    PgResult ids = m_db.run("SELECT id FROM jobs j WHERE created_at >= $2 AND program = 'service'"
                            " AND shop_queue_of(j.program, j.data_source) ->> 'token' = $1 ORDER BY id DESC",
                            {owner, static_cast<std::int64_t>(since)});
    for (int row = 0; row < ids.rows(); ++row)
        if (auto s = readJob(ids.integer(row, 0)))
            out.push_back(std::move(*s));
    return out;
}

std::vector<JobSummary> ShopQueue::unfinished()
{
    const std::lock_guard lock(m_dbMutex);
    std::vector<JobSummary> out;
    if (m_db.reconnect().failed())
        return out;
    // This station's records: claimed ones wait, handed ones are in its
    // spooler when their job is known (else the reconciliation looks for
    // them); and records waiting for one of its own printers.
    // Two parts that each use an index: an OR of them, or a prefix of the
    // target, read the whole table (its dead rows too) at every call.
    const std::string columns = "SELECT q.job_id, q.idx, q.state, q.cups_job,"
                                " CASE WHEN q.state = 'queued' THEN substr(q.target, length($1) + 2) ELSE q.printer END,"
                                " j.created_at, j.data_source, j.reason, j.copies"
                                " FROM print_queue q JOIN jobs j ON j.id = q.job_id";
    PgResult rows = m_db.run((std::string("WITH RECURSIVE ") + kQueuedTargets + " " + columns
                              + " WHERE q.station = $1 AND q.state <> 'queued' UNION ALL " + columns
                              + " WHERE q.state = 'queued' AND q.target IN (SELECT target FROM targets"
                                "   WHERE left(target, length($1) + 1) = $1 || '/')"
                                " ORDER BY 1, 2")
                                 .c_str(),
                             {m_options.station});
    for (int row = 0; row < rows.rows(); ++row) {
        const std::int64_t id = rows.integer(row, 0);
        if (out.empty() || out.back().id != id) {
            JobSummary s;
            s.id = id;
            s.printer = rows.text(row, 4);
            s.created = static_cast<std::time_t>(rows.integer(row, 5));
            auto data = m_serviceData.find(id);
            if (data == m_serviceData.end()) {
                if (m_serviceData.size() >= 100000)
                    m_serviceData.clear();
                data = m_serviceData.emplace(id, serviceDataOf(rows.text(row, 6)).value_or(ServiceData{})).first;
            }
            s.owner = data->second.owner;
            s.key = data->second.key;
            s.expiresSeconds = data->second.expires;
            s.reason = rows.text(row, 7);
            s.copies = static_cast<int>(rows.integer(row, 8));
            out.push_back(std::move(s));
        }
        const std::string state = rows.text(row, 2);
        const int cups = static_cast<int>(rows.integer(row, 3));
        const bool inSpooler = (state == "handed" || state == "uncertain") && cups > 0;
        out.back().records.push_back({static_cast<int>(rows.integer(row, 1)) + 1,
                                      inSpooler ? Outcome::Printing : Outcome::Queued, inSpooler ? cups : 0, {}, {}});
    }
    for (JobSummary& s : out) {
        const std::string reason = s.reason;
        settleJob(s);
        s.reason = reason;
    }
    return out;
}

std::vector<RecordValues> ShopQueue::recordValues(std::int64_t job)
{
    const std::lock_guard lock(m_dbMutex);
    std::vector<RecordValues> out;
    if (m_db.reconnect().failed())
        return out;
    PgResult rows = m_db.run("SELECT columns FROM records WHERE job_id = $1 ORDER BY idx", {job});
    for (int row = 0; row < rows.rows(); ++row) {
        RecordValues values;
        for (const JournalValue& v : journal_detail::valuesFromJson(rows.text(row, 0)))
            values.emplace_back(v.name, v.value);
        out.push_back(std::move(values));
    }
    return out;
}

std::optional<StoredTemplate> ShopQueue::storedTemplate(std::int64_t job)
{
    const std::lock_guard lock(m_dbMutex);
    if (m_db.reconnect().failed())
        return std::nullopt;
    PgResult row = m_db.run("SELECT template_path, template_hash FROM jobs WHERE id = $1", {job});
    if (!row.ok() || row.rows() == 0)
        return std::nullopt;
    StoredTemplate source{row.text(0, 0), row.text(0, 1), nullptr};
    source.bytes = bytesOf(source.hash);
    return source;
}

std::size_t ShopQueue::waitingRecords()
{
    // Asked at every post: counted at most four times a second, with what
    // this station took since then added (the whole shop's count is a bound,
    // not a ledger).
    const auto now = std::chrono::steady_clock::now();
    const std::lock_guard lock(m_dbMutex);
    if (now - m_waitingCountedAt < std::chrono::milliseconds(250))
        return m_waitingCount + m_takenSinceCount.load();
    if (m_db.reconnect().failed())
        return 0;
    m_takenSinceCount = 0;
    PgResult count = m_db.run("SELECT count(*) FROM print_queue WHERE state IN ('queued', 'claimed')");
    if (!count.ok())
        return 0;
    m_waitingCount = static_cast<std::size_t>(count.integer(0, 0));
    m_waitingCountedAt = now;
    return m_waitingCount;
}

void ShopQueue::tidy() {}

} // namespace ordavel::service
