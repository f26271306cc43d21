#include "print_run/run_journal.h"

#include "print_run/printed_fields.h"
#include "print_run/spooler.h"

#include "journal/journal_system.h"
#include "shop/connection_string.h"
#include "shop/users_journal.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace ordavel {

namespace {

RecordMerge::CounterValues asMergeValues(const std::vector<CounterValue>& values)
{
    RecordMerge::CounterValues merged;
    for (const auto& value : values)
        merged.emplace_back(value.name, value.value);
    return merged;
}

// Whether the process that claimed a job ("pid N@host") still runs here.
// A claimant is "pid N@HOST" (a program of one station), or the holder of
// a shop's queue, "STATION pid N@HOST STARTED": its spooler job ids are its
// own host's, never to be looked up in another's.
bool claimantRuns(const std::string& claimant)
{
    int pid = 0;
    char host[256] = {};
    const auto at = claimant.rfind("pid ");
    if (at == std::string::npos || std::sscanf(claimant.c_str() + at, "pid %d@%255s", &pid, host) < 1 || pid <= 0)
        return false;
    if (host[0] != '\0' && journal_system::hostName() != host)
        return true; // another machine's: not ours to judge
    return journal_system::processRuns(pid);
}

} // namespace

std::shared_ptr<Journal> openRunJournal(const std::string& path, std::string& problem, std::string* unreachableShop)
{
    if (Journal::isOff(path))
        return nullptr;
    Journal::Opened opened = openUsersJournal(path);
    if (!opened.journal)
        return journalWhenUnopened(path, opened.error, problem, unreachableShop);
    return std::shared_ptr<Journal>(std::move(opened.journal));
}

std::shared_ptr<Journal> journalWhenUnopened(const std::string& path, const std::string& error, std::string& problem,
                                             std::string* unreachableShop)
{
    // A station cut off from its shop keeps the print in its own journal
    // file, for `shop sync` to upload once the shop answers.
    if (const auto shop = joinedShop(); shop.ok() && shop.value()) {
        if (unreachableShop != nullptr)
            *unreachableShop = describeConnection(shop.value()->connection);
        if (Journal::Opened own = Journal::open(path); own.journal) {
            problem = error + "; the print is kept in this station's own journal until ordavel-cli shop sync";
            return std::shared_ptr<Journal>(std::move(own.journal));
        }
    }
    problem = "the print journal cannot be opened: " + error;
    return nullptr;
}

RunJournal::RunJournal(std::shared_ptr<Journal> journal, std::string problem)
    : m_journal(std::move(journal)), m_problem(std::move(problem))
{
}

void RunJournal::note(const std::string& error)
{
    if (!error.empty() && m_problem.empty())
        m_problem = error;
}

bool RunJournal::begin(const JournalPrint& print, const Document& doc, const DataTable* table,
                       const std::vector<BatchItem>& items, const std::string& printer,
                       const std::vector<std::vector<CounterValue>>& presetCounters)
{
    if (!m_unreachableShop.empty() && presetCounters.empty() && !templateCounters(doc).empty()) {
        m_refusal = "共享的打印记录“" + m_unreachableShop
            + "”连不上，用到计数器的模板现在不能打印：离线取的编号可能与其他站点的重复。";
        return false;
    }
    if (!m_journal)
        return false;
    JournalJobIn job;
    job.program = print.program;
    job.kind = print.kind;
    job.printer = printer;
    job.templatePath = print.templatePath;
    job.templateName = journalTemplateName(print.templatePath);
    job.templateBytes = print.templateBytes;
    job.calibration = print.calibration;
    job.copies = print.copies;
    job.dataSource = print.dataSource;
    job.repeats = print.repeats;
    job.startPrinting = true;
    job.searchIndexLater = true;
    job.commitLater = true;

    const std::vector<std::string> counters = templateCounters(doc);
    const DataTable none;
    const DataTable& data = table != nullptr ? *table : none;
    RecordMerge merge(data, table == nullptr);
    const std::size_t count = table != nullptr ? items.size() : 1;
    // The columns the template uses, looked up once for all records.
    std::vector<std::pair<std::string, int>> usedNames;
    if (table != nullptr)
        for (auto& name : templateFields(doc))
            if (const int column = data.columnIndex(name); column >= 0)
                usedNames.emplace_back(std::move(name), column);
    job.records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        JournalRecordIn record;
        if (table != nullptr) {
            record.number = items[i].number;
            record.copies = items[i].copies;
        } else {
            record.copies = print.copies;
        }
        if (presetCounters.empty())
            record.counters = counters;
        else if (i < presetCounters.size())
            record.counterValues = presetCounters[i];
        job.records.push_back(std::move(record));
    }
    std::vector<RecordMerge::CounterValues> taken(count);
    // Each record's fields are merged here, with the counter values just
    // taken, and written with it; the print draws the same merge of the
    // same values.
    const PrintedFieldBoxes boxes(doc);
    const auto fill = [&](std::size_t i, const std::vector<CounterValue>& values, JournalValues& fields,
                          JournalValues& columns) {
        taken[i] = asMergeValues(presetCounters.empty() || i >= presetCounters.size() ? values : presetCounters[i]);
        const int row = table != nullptr ? items[i].row : -1;
        if (row >= 0 && row < data.recordCount()) {
            columns.resize(usedNames.size());
            for (std::size_t k = 0; k < usedNames.size(); ++k) {
                columns[k].name = usedNames[k].first;
                columns[k].value.assign(data.value(row, usedNames[k].second));
            }
        } else {
            columns.clear();
        }
        if (table == nullptr && !print.pageFields.empty()) {
            fields = print.pageFields;
            return;
        }
        if (table != nullptr)
            merge.setRecord(items[i].row, items[i].number);
        merge.setCounterValues(taken[i]);
        boxes.into(merge, fields);
    };
    const auto recorded = m_journal->recordJob(job, fill);
    note(m_journal->takeNotice());
    if (!recorded.ok()) {
        note("the print journal cannot be written: " + recorded.error);
        return false;
    }
    m_id = recorded.value;
    m_counters = std::move(taken);
    m_commitPending = true;
    m_tookCounters = presetCounters.empty() && !counters.empty();
    return true;
}

bool RunJournal::committed()
{
    if (!m_commitPending)
        return true;
    m_commitPending = false;
    const std::string error = m_journal->awaitCommit();
    if (error.empty())
        return true;
    note("the print journal cannot be written: " + error);
    m_id = 0;
    return false;
}

bool RunJournal::mayHandOver(int, int)
{
    if (committed() || !m_tookCounters)
        return true;
    m_heldBack = "the print journal could not record the job, so its serial numbers are not the shop's: nothing was printed";
    return false;
}

bool RunJournal::resume(JournalJobId id, const std::vector<int>& indices)
{
    if (!m_journal)
        return false;
    const auto records = m_journal->records(id);
    if (!records.ok() || records.value.empty()) {
        note(records.ok() ? "no journal job " + std::to_string(id) : records.error);
        return false;
    }
    m_counters.clear();
    for (const auto& record : records.value)
        m_counters.push_back(asMergeValues(record.counters));
    note(m_journal->inOneTransaction([&] {
        std::string failed = m_journal->markPrinting(id);
        for (const auto& [first, last] : consecutiveRuns(indices))
            if (failed.empty())
                failed = m_journal->setRecordOutcome(id, first, last, JournalOutcome::Printing);
        return failed;
    }));
    m_id = id;
    return true;
}

RecordMerge::CounterValues RunJournal::countersOf(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_counters.size())
        return {};
    return m_counters[static_cast<std::size_t>(index)];
}

std::string RunJournal::title(int first, int last, const std::string& name) const
{
    return active() ? jobTitle(m_id, first + 1, last + 1, name) : name;
}

void RunJournal::handedOver(int first, int last, int spoolId, bool toFile)
{
    if (!active())
        return;
    Change change;
    change.first = first;
    change.last = last;
    change.kind = toFile ? Change::Kind::ToFile : Change::Kind::Spooled;
    change.spoolId = spoolId;
    m_changes.push_back(std::move(change));
}

void RunJournal::placed(int record, int sheet, int cell)
{
    if (active())
        m_places.push_back({record, sheet, cell});
}

void RunJournal::failed(int first, int last, JournalOutcome outcome, const std::string& reason)
{
    settled(first, last, outcome, reason);
}

void RunJournal::notHandedOver(int first, int last, NotHandedOver why, const std::string& reason)
{
    failed(first, last, why == NotHandedOver::Refused ? JournalOutcome::Failed : JournalOutcome::Cancelled, reason);
}

void RunJournal::ended(const JobFollower::Ended& job)
{
    // A queue job's records are one run of this job's records.
    if (!job.records.empty())
        settled(job.records.front().second - 1, job.records.back().second - 1, job.outcome.outcome,
                job.outcome.reason);
}

std::vector<RecordRef> RunJournal::refsOf(int first, int last) const
{
    std::vector<RecordRef> refs;
    for (int index = first; index <= last; ++index)
        refs.emplace_back(m_id, index + 1);
    return refs;
}

void RunJournal::settled(int first, int last, JournalOutcome outcome, const std::string& reason)
{
    if (!active())
        return;
    Change change;
    change.first = first;
    change.last = last;
    change.outcome = outcome;
    change.reason = reason;
    m_changes.push_back(std::move(change));
}

void RunJournal::flush() { write(false); }

void RunJournal::finish() { write(true); }

void RunJournal::write(bool finishing)
{
    if (!active() || !committed())
        return;
    note(m_journal->inOneTransaction([&] {
        std::string error = m_places.empty() ? std::string() : m_journal->setRecordPlaces(m_id, m_places);
        for (std::size_t i = 0; i < m_changes.size() && error.empty(); ++i) {
            const Change& change = m_changes[i];
            switch (change.kind) {
            case Change::Kind::Outcome:
                error = m_journal->setRecordOutcome(m_id, change.first, change.last, change.outcome, change.reason);
                break;
            case Change::Kind::ToFile:
                error = m_journal->setRecordOutcome(m_id, change.first, change.last, JournalOutcome::Printed);
                break;
            case Change::Kind::Spooled:
                error = m_journal->addCupsJob(m_id, change.spoolId, change.first, change.last);
                break;
            }
        }
        if (!error.empty() || !finishing)
            return error;
        // Every record went to a file just now: the job is printed, without counting its records again.
        return everyRecordToFile() ? m_journal->finishJob(m_id, JournalOutcome::Printed)
                                   : finishFromRecords(*m_journal, m_id);
    }));
    m_changes.clear();
    m_places.clear();
}

bool RunJournal::everyRecordToFile() const
{
    std::vector<std::pair<int, int>> ranges;
    for (const Change& change : m_changes) {
        if (change.kind != Change::Kind::ToFile)
            return false;
        ranges.emplace_back(change.first, change.last);
    }
    std::sort(ranges.begin(), ranges.end());
    int next = 0;
    for (const auto& [first, last] : ranges) {
        if (first > next)
            return false;
        next = std::max(next, last + 1);
    }
    return !m_counters.empty() && next >= static_cast<int>(m_counters.size());
}

std::string RunJournal::takeProblem()
{
    if (m_journal)
        note(m_journal->takeNotice());
    std::string problem;
    problem.swap(m_problem);
    return problem;
}

std::string finishFromRecords(Journal& journal, JournalJobId id)
{
    const auto job = journal.job(id);
    if (!job.ok() || !job.value)
        return job.ok() ? "no journal job " + std::to_string(id) : job.error;
    const int total = job.value->recordCount;
    const int printed = job.value->printedCount;
    int cancelled = 0;
    if (printed < total) {
        // Only then are the records themselves looked at.
        const auto records = journal.records(id);
        if (!records.ok())
            return records.error;
        for (const auto& record : records.value) {
            if (!isFinal(record.outcome))
                return {};
            cancelled += record.outcome == JournalOutcome::Cancelled ? 1 : 0;
        }
    }
    const std::string missing = std::to_string(total - printed) + " of " + std::to_string(total) + " records";
    if (printed == total)
        return journal.finishJob(id, JournalOutcome::Printed);
    if (cancelled + printed == total)
        return journal.finishJob(id, JournalOutcome::Cancelled, missing + " cancelled");
    return journal.finishJob(id, JournalOutcome::Failed, missing + " not printed");
}

int settleFromQueue(Journal& journal, JournalJobId id, bool own, const Spooler& spooler, std::string& error)
{
    const auto job = journal.job(id);
    if (!job.ok() || !job.value) {
        error = job.ok() ? "no journal job " + std::to_string(id) : job.error;
        return 0;
    }
    if (isFinal(job.value->outcome))
        return 0;
    if (!own && claimantRuns(job.value->claimant))
        return 0;
    const auto records = journal.records(id);
    if (!records.ok()) {
        error = records.error;
        return 0;
    }
    const auto listed = spooler.jobs(true);
    const std::vector<SpoolJob> queue = listed.value_or(std::vector<SpoolJob>());
    std::map<int, const SpoolJob*> byId;
    for (const auto& entry : queue)
        byId[entry.id] = &entry;
    // The queue job of a record whose id was not written: found by its
    // title. A print to a file never had a queue job.
    const bool throughQueue = !printedToFile(job.value->printer);
    const auto oursByTitle = [&](const SpoolJob& entry) {
        return mayBeJobOf(entry, job.value->printer, static_cast<std::time_t>(job.value->createdAt));
    };
    const auto jobTitledFor = [&](int index) -> const SpoolJob* {
        if (!throughQueue)
            return nullptr;
        for (const auto& entry : queue)
            if (oursByTitle(entry))
                for (const RecordRef& ref : recordsOfTitle(entry.title))
                    if (ref.first == id && ref.second == index + 1)
                        return &entry;
        return nullptr;
    };
    // What each record became, applied in runs of neighbours that ended alike.
    struct Change {
        int index;
        JournalOutcome outcome;
        std::string reason;
    };
    std::vector<Change> changes;
    int waiting = 0;
    int open = 0;
    for (const auto& record : records.value) {
        if (isFinal(record.outcome))
            continue;
        if (record.outcome == JournalOutcome::Queued) {
            ++open;
            continue;
        }
        const SpoolJob* found = nullptr;
        if (record.cupsJobId > 0) {
            const auto at = byId.find(record.cupsJobId);
            found = at == byId.end() ? nullptr : at->second;
        } else if ((found = jobTitledFor(record.index)) != nullptr) {
            error = journal.addCupsJob(id, found->id, record.index, record.index);
        }
        if (found == nullptr) {
            // Being drawn by this process, or a job the queue no longer
            // remembers (whether it printed cannot be told): left printing.
            if (own || record.cupsJobId > 0) {
                ++open;
                continue;
            }
            changes.push_back({record.index, JournalOutcome::Failed, "never reached the print queue"});
            continue;
        }
        if (!isFinished(found->state)) {
            ++waiting;
            ++open;
            continue;
        }
        const SpoolOutcome outcome = outcomeOf(*found);
        changes.push_back({record.index, outcome.outcome, outcome.reason});
    }
    for (std::size_t i = 0; i < changes.size() && error.empty();) {
        std::size_t j = i + 1;
        while (j < changes.size() && changes[j].index == changes[j - 1].index + 1
               && changes[j].outcome == changes[i].outcome && changes[j].reason == changes[i].reason)
            ++j;
        error = journal.setRecordOutcome(id, changes[i].index, changes[j - 1].index, changes[i].outcome,
                                         changes[i].reason);
        i = j;
    }
    if (open == 0 && error.empty() && !own)
        error = finishFromRecords(journal, id);
    return waiting;
}

bool printedToFile(const std::string& printer)
{
    // An absolute path; a printer's name is never one.
    return !printer.empty()
        && (printer.front() == '/' || (printer.size() > 2 && printer[1] == ':' && (printer[2] == '\\' || printer[2] == '/')));
}

std::vector<std::pair<int, int>> consecutiveRuns(const std::vector<int>& indices)
{
    std::vector<std::pair<int, int>> runs;
    for (std::size_t i = 0; i < indices.size();) {
        std::size_t j = i + 1;
        while (j < indices.size() && indices[j] == indices[j - 1] + 1)
            ++j;
        runs.emplace_back(indices[i], indices[j - 1]);
        i = j;
    }
    return runs;
}

} // namespace ordavel
