#include "shop/own_journal_upload.h"

#include "journal/journal_system.h"

#include <algorithm>
#include <map>

namespace ordavel {

namespace {

JournalKind kindNamed(const std::string& name)
{
    for (const JournalKind kind : {JournalKind::Page, JournalKind::Batch, JournalKind::Calibration, JournalKind::Reprint})
        if (kindName(kind) == name)
            return kind;
    return JournalKind::Page;
}

// The job as the shop records it, with its records as they printed.
JournalJobIn uploadOf(const JournalJob& job, const std::vector<JournalRecord>& records, std::string bytes)
{
    JournalJobIn in;
    in.program = job.program;
    in.kind = kindNamed(job.kind);
    in.printer = job.printer;
    in.templatePath = job.templatePath;
    in.templateName = job.templateName;
    in.templateBytes = std::move(bytes);
    in.calibration = job.calibration;
    in.copies = job.copies;
    in.dataSource = job.dataSource;
    in.user = job.user;
    in.createdAt = job.createdAt;
    in.startPrinting = true;
    for (const JournalRecord& record : records) {
        JournalRecordIn out;
        out.number = record.number;
        out.copies = record.copies;
        out.fields = record.fields;
        out.columns = record.columns;
        out.counterValues = record.counters;
        in.records.push_back(std::move(out));
    }
    return in;
}

// Records the job in the shop with each record's outcome and place, and its own.
std::string recordUpload(Journal& shop, const JournalJob& job, const std::vector<JournalRecord>& records,
                         const JournalJobIn& in)
{
    const auto id = shop.recordJob(in);
    if (!id.ok())
        return id.error;
    std::vector<JournalPlace> places;
    for (std::size_t i = 0; i < records.size();) {
        std::size_t j = i + 1;
        while (j < records.size() && records[j].outcome == records[i].outcome && records[j].reason == records[i].reason)
            ++j;
        if (std::string error = shop.setRecordOutcome(id.value, static_cast<int>(i), static_cast<int>(j - 1),
                                                      records[i].outcome, records[i].reason);
            !error.empty())
            return error;
        i = j;
    }
    for (const JournalRecord& record : records)
        if (record.sheet > 0)
            places.push_back({record.index, record.sheet, record.cell});
    if (!places.empty())
        if (std::string error = shop.setRecordPlaces(id.value, places); !error.empty())
            return error;
    return shop.finishJob(id.value, job.outcome, job.reason);
}

} // namespace

JournalResult<std::vector<JournalJob>> jobsTheShopLacks(Journal& shop, Journal& own)
{
    const auto last = shop.lastUploaded();
    if (!last.ok())
        return {{}, last.error};
    JournalQuery newer;
    newer.after = last.value;
    auto jobs = own.listJobs(newer);
    std::sort(jobs.value.begin(), jobs.value.end(), [](const JournalJob& a, const JournalJob& b) { return a.id < b.id; });
    return jobs;
}

Journal::Opened openOwnJournal(const std::string& path)
{
    if (!journal_system::fileIdentity(path))
        return {};
    Journal::Opened own = Journal::open(path);
    if (!own.journal)
        own.error = path + ": " + own.error;
    return own;
}

// A job read from the station's own journal, ready for the shop.
struct PendingUpload {
    const JournalJob* job = nullptr;
    std::vector<JournalRecord> records;
    JournalJobIn in;
};

// Jobs go to the shop this many at a time (or as many as hold this many
// records), each group in one transaction: one durable commit for many small
// jobs, and never more than a moment's work undone when the shop goes away.
constexpr std::size_t kJobsPerCommit = 200;
constexpr std::size_t kRecordsPerCommit = 5000;

OwnJournalUpload uploadOwnJournal(Journal& shop, Journal& own)
{
    OwnJournalUpload result;
    const auto jobs = jobsTheShopLacks(shop, own);
    if (!jobs.ok()) {
        result.error = jobs.error;
        return result;
    }
    std::map<std::string, std::string> templates; // bytes by hash, read once each
    std::size_t n = 0;
    while (n < jobs.value.size() && result.error.empty()) {
        std::vector<PendingUpload> group;
        std::size_t records = 0;
        for (; n < jobs.value.size() && group.size() < kJobsPerCommit && records < kRecordsPerCommit; ++n) {
            const JournalJob& job = jobs.value[n];
            // In order: a job still printing holds back the ones after it.
            if (!isFinal(job.outcome)) {
                result.waiting = static_cast<int>(jobs.value.size() - n);
                break;
            }
            auto read = own.records(job.id);
            if (!read.ok()) {
                result.error = read.error;
                break;
            }
            auto bytes = templates.find(job.templateHash);
            if (bytes == templates.end()) {
                const auto stored = own.templateBytes(job.templateHash);
                if (!stored.ok()) {
                    result.error = stored.error;
                    break;
                }
                bytes = templates.emplace(job.templateHash, stored.value.value_or(std::string())).first;
            }
            records += read.value.size();
            PendingUpload upload{&job, std::move(read.value), {}};
            upload.in = uploadOf(job, upload.records, bytes->second);
            group.push_back(std::move(upload));
        }
        if (!result.error.empty() || group.empty())
            break;
        int fresh = 0;
        const std::string error = shop.inOneTransaction([&]() -> std::string {
            fresh = 0;
            for (const PendingUpload& upload : group) {
                const auto marked = shop.markUploaded(upload.job->id);
                if (!marked.ok())
                    return marked.error;
                if (!marked.value)
                    continue; // uploaded before, by another run
                if (std::string failed = recordUpload(shop, *upload.job, upload.records, upload.in); !failed.empty())
                    return failed;
                ++fresh;
            }
            return {};
        });
        if (!error.empty()) {
            result.error = error;
            break;
        }
        result.uploaded += fresh;
        if (result.waiting > 0)
            break;
    }
    return result;
}

} // namespace ordavel
