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
        std::vector<JournalUpload> group;
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
            JournalUpload upload;
            upload.localId = job.id;
            upload.job = uploadOf(job, read.value, bytes->second);
            upload.records = std::move(read.value);
            upload.outcome = job.outcome;
            upload.reason = job.reason;
            group.push_back(std::move(upload));
        }
        if (!result.error.empty() || group.empty())
            break;
        // Jobs uploaded before, by another run, are left out.
        const auto recorded = shop.recordUploads(group);
        if (!recorded.ok()) {
            result.error = recorded.error;
            break;
        }
        result.uploaded += recorded.value;
        if (result.waiting > 0)
            break;
    }
    return result;
}

} // namespace ordavel
