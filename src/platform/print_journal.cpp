#include "platform/print_journal.h"

#include "platform/system_spooler.h"
#include "platform/cups_jobs.h"
#include "print_run/printed_fields.h"
#include "platform/journal_resume.h"
#include "platform/journal_worker.h"

#include "file/template_reader.h"
#include "file/template_writer.h"
#include "journal/journal_system.h"
#include "print/box_render.h"

#include <QPointer>
#include <QPrinter>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>


namespace ordavel {

namespace {

RecordMerge::CounterValues asMergeValues(const std::vector<CounterValue>& values)
{
    RecordMerge::CounterValues merged;
    for (const auto& value : values)
        merged.emplace_back(value.name, value.value);
    return merged;
}

class QuietSink : public MessageSink {
public:
    MessageAnswer show(const Message&) override { return MessageAnswer::Ok; }
};

} // namespace

std::string templateBytesOf(const Document& doc, const std::string& path, bool modified)
{
    if (!modified && !path.empty()) {
        std::ifstream file(path, std::ios::binary);
        if (file) {
            std::ostringstream bytes;
            bytes << file.rdbuf();
            if (file.good() || file.eof())
                return bytes.str();
        }
    }
    QuietSink sink;
    return templateBytes(doc, sink).value_or(std::string());
}

DataTable tableOfRecords(const std::vector<JournalRecord>& records, const std::string& dataSource)
{
    std::vector<std::string> names;
    for (const auto& record : records)
        for (const auto& column : record.columns)
            if (std::find(names.begin(), names.end(), column.name) == names.end())
                names.push_back(column.name);
    DataTable table(names);
    for (const auto& record : records) {
        for (const auto& name : names) {
            const auto found = std::find_if(record.columns.begin(), record.columns.end(),
                                            [&](const JournalValue& v) { return v.name == name; });
            table.appendCell(found == record.columns.end() ? std::string_view() : std::string_view(found->value));
        }
        table.endRecord();
    }
    const auto slash = dataSource.rfind('/');
    table.folder = slash == std::string::npos ? std::string() : dataSource.substr(0, slash);
    return table;
}

std::shared_ptr<Journal> sharedJournal(const std::string& path, std::string& error)
{
    static std::mutex guard;
    static std::shared_ptr<Journal> kept;
    const std::lock_guard lock(guard);
    if (kept && kept->path() == path && kept->isCurrent())
        return kept;
    kept.reset();
    Journal::Opened opened = Journal::open(path);
    if (!opened.journal) {
        error = opened.error;
        return nullptr;
    }
    kept = std::shared_ptr<Journal>(std::move(opened.journal));
    return kept;
}

PrintJournalEntry::PrintJournalEntry(std::string path) : m_path(std::move(path)) {}
PrintJournalEntry::~PrintJournalEntry() { awaitWritten(); }

void PrintJournalEntry::note(const std::string& error)
{
    if (!error.empty() && m_problem.empty())
        m_problem = error;
}

// What writing a print's job takes, owned together: with beginOverlapped a
// worker thread writes it while the page is drawn.
struct PrintJournalEntry::Recording {
    JournalJobIn job;
    DataTable none;
    std::unique_ptr<RecordMerge> merge;
    std::vector<RecordMerge::CounterValues> counters; // by record, as the filler took them
    JournalRecordFiller fill;
    std::future<JournalResult<JournalJobId>> done;
};

bool PrintJournalEntry::begin(const JournalPrint& print, const Document& doc, const DataTable* table,
                              const std::vector<BatchItem>& items, const std::string& printer,
                              const std::vector<std::vector<CounterValue>>& presetCounters)
{
    return start(print, doc, table, items, printer, presetCounters, false);
}

bool PrintJournalEntry::beginOverlapped(const JournalPrint& print, const Document& doc, const std::string& printer)
{
    return start(print, doc, nullptr, {}, printer, {}, true);
}

bool PrintJournalEntry::start(const JournalPrint& print, const Document& doc, const DataTable* table,
                              const std::vector<BatchItem>& items, const std::string& printer,
                              const std::vector<std::vector<CounterValue>>& presetCounters, bool overlapped)
{
    awaitWritten();
    if (Journal::isOff(m_path))
        return false;
    std::string error;
    m_journal = sharedJournal(m_path, error);
    if (!m_journal) {
        note("the print journal cannot be opened: " + error);
        return false;
    }

    const auto recording = std::make_shared<Recording>();
    JournalJobIn& job = recording->job;
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

    const std::vector<std::string> counters = templateCounters(doc);
    const DataTable& data = table != nullptr ? *table : recording->none;
    recording->merge = std::make_unique<RecordMerge>(data, table == nullptr);
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
    recording->counters.assign(count, {});
    // Each record's fields are merged here, with the counter values just
    // taken, and written with it: the row is not written again for them.
    // The print draws the same merge of the same values. The columns' values
    // are read here too, into strings kept from record to record.
    const JournalValues pageFields = table == nullptr ? print.pageFields : JournalValues();
    const std::vector<BatchItem>* batchItems = table != nullptr ? &items : nullptr;
    recording->fill = [state = recording.get(), batchItems, pageFields, presetCounters, table = &data,
                       usedNames = std::move(usedNames),
                       boxes = PrintedFieldBoxes(doc)](std::size_t i, const std::vector<CounterValue>& values,
                                                       JournalValues& fields, JournalValues& columns) {
        state->counters[i] = asMergeValues(presetCounters.empty() ? values : presetCounters[i]);
        const int row = batchItems != nullptr ? (*batchItems)[i].row : -1;
        if (row >= 0 && row < table->recordCount()) {
            columns.resize(usedNames.size());
            for (std::size_t k = 0; k < usedNames.size(); ++k) {
                columns[k].name = usedNames[k].first;
                columns[k].value.assign(table->value(row, usedNames[k].second));
            }
        } else {
            columns.clear();
        }
        if (!pageFields.empty()) {
            fields = pageFields;
            return;
        }
        RecordMerge& merge = *state->merge;
        if (batchItems != nullptr)
            merge.setRecord((*batchItems)[i].row, (*batchItems)[i].number);
        merge.setCounterValues(state->counters[i]);
        boxes.into(merge, fields);
    };

    // A page that prints serial numbers waits for its commit: drawn before it,
    // numbers the journal then failed to keep (a full disk) would print again
    // on the next page.
    if (!overlapped || !counters.empty()) {
        const auto recorded = m_journal->recordJob(job, recording->fill);
        return started(recorded, std::move(recording->counters));
    }

    // The worker writes the job; this thread goes on once it is staged (its
    // id and counter values taken), the commit still to come.
    auto staged = std::make_shared<std::promise<std::pair<JournalJobId, std::vector<RecordMerge::CounterValues>>>>();
    auto stagedValues = staged->get_future();
    recording->done = JournalWorker::instance().post([recording, journal = m_journal, staged] {
        bool told = false;
        auto recorded = journal->recordJob(recording->job, recording->fill, [&](JournalJobId id) {
            // Once: a journal set aside and written afresh stages the job again.
            if (told)
                return;
            told = true;
            staged->set_value({id, recording->counters});
        });
        if (!told)
            staged->set_value({0, {}});
        return recorded;
    });
    auto [id, values] = stagedValues.get();
    if (id == 0)
        return started(recording->done.get(), {});
    m_id = id;
    m_counters = std::move(values);
    m_pending = recording;
    return true;
}

bool PrintJournalEntry::started(const JournalResult<JournalJobId>& recorded,
                                std::vector<RecordMerge::CounterValues> counters)
{
    note(m_journal->takeNotice());
    if (!recorded.ok()) {
        m_counters.clear();
        note("the print journal cannot be written: " + recorded.error);
        return false;
    }
    m_id = recorded.value;
    m_counters = std::move(counters);
    return true;
}

void PrintJournalEntry::awaitWritten()
{
    if (!m_pending)
        return;
    const std::shared_ptr<Recording> recording = std::move(m_pending);
    const JournalResult<JournalJobId> recorded = recording->done.get();
    note(m_journal->takeNotice());
    if (!recorded.ok()) {
        // The page was drawn with values the journal does not keep.
        m_id = 0;
        note("the print journal cannot be written: " + recorded.error);
        return;
    }
    m_id = recorded.value; // another id only when a damaged journal was set aside meanwhile
}

bool PrintJournalEntry::resume(JournalJobId id, const std::vector<int>& indices)
{
    awaitWritten();
    std::string error;
    m_journal = sharedJournal(m_path, error);
    if (!m_journal) {
        note("the print journal cannot be opened: " + error);
        return false;
    }
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

RecordMerge::CounterValues PrintJournalEntry::countersOf(int index) const
{
    if (index < 0 || static_cast<std::size_t>(index) >= m_counters.size())
        return {};
    return m_counters[static_cast<std::size_t>(index)];
}

std::string PrintJournalEntry::cupsJobName(int first, int last, const std::string& name) const
{
    if (!active())
        return name;
    return jobTitle(m_id, first + 1, last + 1, name);
}

void PrintJournalEntry::handedOver(int first, int last, bool toFile, const std::string& printer,
                                   const std::string& title, std::time_t since)
{
    awaitWritten();
    if (!active())
        return;
    Change change;
    change.first = first;
    change.last = last;
    change.handedOver = true;
    change.toFile = toFile;
    change.printer = printer;
    change.title = title;
    change.since = since;
    m_changes.push_back(std::move(change));
}

void PrintJournalEntry::failed(int first, int last, JournalOutcome outcome, const std::string& reason)
{
    awaitWritten();
    if (!active())
        return;
    Change change;
    change.first = first;
    change.last = last;
    change.outcome = outcome;
    change.reason = reason;
    m_changes.push_back(std::move(change));
}

void PrintJournalEntry::flush() { write(false); }

void PrintJournalEntry::write(bool finishing)
{
    awaitWritten();
    if (!active())
        return;
    // The CUPS ids of the jobs handed over, asked before the transaction.
    // The scheduler stamps a job when it takes it, possibly a second before
    // the clock read at the hand-over.
    std::vector<int> cupsIds(m_changes.size(), 0);
    for (std::size_t i = 0; i < m_changes.size(); ++i)
        if (m_changes[i].handedOver && !m_changes[i].toFile)
            cupsIds[i] = cupsJobNamed(m_changes[i].printer, m_changes[i].title, m_changes[i].since - 1);
    note(m_journal->inOneTransaction([&] {
        std::string error;
        for (std::size_t i = 0; i < m_changes.size() && error.empty(); ++i) {
            const Change& change = m_changes[i];
            if (!change.handedOver)
                error = m_journal->setRecordOutcome(m_id, change.first, change.last, change.outcome, change.reason);
            else if (change.toFile)
                error = m_journal->setRecordOutcome(m_id, change.first, change.last, JournalOutcome::Printed);
            else
                error = m_journal->addCupsJob(m_id, cupsIds[i], change.first, change.last);
        }
        if (!error.empty() || !finishing)
            return error;
        // Every record went to a file just now: the job is printed, without counting its records again.
        return everyRecordToFile() ? m_journal->finishJob(m_id, JournalOutcome::Printed)
                                   : finishFromRecords(*m_journal, m_id);
    }));
    m_changes.clear();
}

bool PrintJournalEntry::everyRecordToFile() const
{
    std::vector<std::pair<int, int>> ranges;
    for (const Change& change : m_changes) {
        if (!change.handedOver || !change.toFile)
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

void PrintJournalEntry::settle(std::chrono::milliseconds wait)
{
    awaitWritten();
    if (!active())
        return;
    flush();
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::string error;
        const int waiting = settleFromCups(*m_journal, m_id, /*own=*/true, error);
        note(error);
        if (waiting == 0 || !error.empty() || std::chrono::steady_clock::now() >= deadline)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
}

void PrintJournalEntry::finish()
{
    write(true);
}

std::string PrintJournalEntry::takeProblem()
{
    awaitWritten();
    if (m_journal)
        note(m_journal->takeNotice());
    std::string problem;
    problem.swap(m_problem);
    return problem;
}

int settleFromCups(Journal& journal, JournalJobId id, bool own, std::string& error)
{
    return settleFromQueue(journal, id, own, *systemSpooler(), error);
}

bool loadJournalTemplate(const Journal& journal, const JournalJob& job, Document& doc, std::string& error)
{
    const auto bytes = journal.templateBytes(job.templateHash);
    if (!bytes.ok() || !bytes.value || bytes.value->empty()) {
        error = bytes.ok() ? "the journal holds no template for job " + std::to_string(job.id) : bytes.error;
        return false;
    }
    class Quiet : public MessageSink {
    public:
        MessageAnswer show(const Message& message) override
        {
            text = message.text;
            return MessageAnswer::Ok;
        }
        std::string text;
    } sink;
    doc.newDocument();
    if (!loadDocumentFromBytes(doc, *bytes.value, job.templatePath, sink)) {
        error = "the stored template does not load: " + sink.text;
        return false;
    }
    return true;
}

JournalReprint planReprint(const Journal& journal, const JournalJob& job, const std::vector<JournalRecord>& records,
                           const std::vector<int>& rows, const std::string& program, const std::string& calibration)
{
    JournalReprint plan;
    plan.print.program = program;
    plan.print.kind = JournalKind::Reprint;
    plan.print.templatePath = job.templatePath;
    plan.print.templateBytes = journal.templateBytes(job.templateHash).value.value_or(std::string());
    plan.print.dataSource = job.dataSource;
    plan.print.copies = job.copies;
    plan.print.repeats = job.id;
    plan.print.calibration = calibration;
    plan.page = records.size() == 1 && records[0].columns.empty() && records[0].number == 0;
    for (const int row : rows) {
        const JournalRecord& record = records[static_cast<std::size_t>(row)];
        plan.counters.push_back(record.counters);
        plan.records.push_back(record);
    }
    if (plan.page)
        return plan;
    plan.table = tableOfRecords(plan.records, job.dataSource);
    for (std::size_t i = 0; i < plan.records.size(); ++i)
        plan.items.push_back({static_cast<int>(i), plan.records[i].number, plan.records[i].copies});
    return plan;
}

JournalPrint designerJournalPrint(const Document& doc, const Calibration& calibration, JournalKind kind, int copies)
{
    JournalPrint what;
    what.program = "designer";
    what.kind = kind;
    what.templatePath = doc.fileName();
    what.templateBytes = templateBytesOf(doc, doc.fileName(), doc.modified());
    what.calibration = calibration.isIdentity() ? std::string() : describeCalibration(calibration);
    what.copies = copies;
    return what;
}

std::string journalPrinterName(const QPrinter& printer) { return destinationOf(printer); }

std::future<std::string> finishOnWorker(std::shared_ptr<PrintJournalEntry> entry)
{
    entry->awaitWritten(); // on this thread: the worker may not wait for a task behind its own
    return JournalWorker::instance().post([entry] {
        entry->finish();
        std::string problem = entry->takeProblem();
        if (Journal* journal = entry->journal())
            journal->tidyWhenDue();
        return problem;
    });
}

void settleLater(std::unique_ptr<PrintJournalEntry> entry, std::function<void(const std::string& problem)> report,
                 QObject* context)
{
    if (!entry || !entry->active())
        return;
    // The first turn comes as soon as the window is idle again: what the
    // print kept is written then, off the print's own path; then CUPS is
    // asked once a second.
    auto* timer = new QTimer;
    timer->setInterval(0);
    auto shared = std::shared_ptr<PrintJournalEntry>(std::move(entry));
    auto rounds = std::make_shared<int>(0);
    const bool guarded = context != nullptr;
    const QPointer<QObject> alive(context);
    auto told = std::make_shared<bool>(false);
    // The first problem, once; none after the context is gone.
    const auto tell = [report = std::move(report), guarded, alive, told](const std::string& problem) {
        if (problem.empty() || *told || !report || (guarded && alive.isNull()))
            return;
        *told = true;
        report(problem);
    };
    // A print to files has no CUPS job to ask after: the rest is written on
    // the journal's worker, and the window only looks now and then whether
    // it has something to tell.
    if (shared->everyRecordToFile()) {
        auto done = std::make_shared<std::future<std::string>>(finishOnWorker(shared));
        timer->setInterval(20);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, done, tell] {
            if (done->wait_for(std::chrono::seconds(0)) != std::future_status::ready)
                return;
            tell(done->get());
            timer->stop();
            timer->deleteLater();
        });
        timer->start();
        return;
    }
    QObject::connect(timer, &QTimer::timeout, timer, [timer, shared, rounds, tell] {
        if (*rounds == 0) {
            shared->flush();
            timer->setInterval(1000);
            tell(shared->takeProblem());
        }
        std::string error;
        const int waiting = settleFromCups(*shared->journal(), shared->id(), true, error);
        tell(error);
        if (waiting == 0 || !error.empty() || ++*rounds >= 60) {
            shared->finish();
            timer->stop();
            timer->deleteLater();
            tell(shared->takeProblem());
            // The journal is tidied on its worker, off the window's thread.
            JournalWorker::instance().post([shared] {
                if (Journal* journal = shared->journal())
                    journal->tidyWhenDue();
            });
        }
    });
    timer->start();
}

Message journalProblemMessage(const std::string& problem)
{
    return Message{"打印记录出了问题：" + problem + "\r\n这次打印照常进行。", "打印文件", MessageIcon::Exclamation,
                   MessageButtons::Ok};
}

} // namespace ordavel
