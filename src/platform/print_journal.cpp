#include "platform/print_journal.h"

#include "platform/cups_jobs.h"

#include "file/template_reader.h"
#include "file/template_writer.h"

#include <QPrinter>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include <unistd.h>

namespace ordavel {

namespace {

bool isTextBox(BoxType type)
{
    return type == BoxType::EditBox || type == BoxType::Label || type == BoxType::ComboBox
        || type == BoxType::BarcodeBox;
}

RecordMerge::CounterValues asMergeValues(const std::vector<CounterValue>& values)
{
    RecordMerge::CounterValues merged;
    for (const auto& value : values)
        merged.emplace_back(value.name, value.value);
    return merged;
}

std::string hostName()
{
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

// Whether the process that claimed a job ("pid N@host") still runs here.
bool claimantRuns(const std::string& claimant)
{
    int pid = 0;
    char host[256] = {};
    if (std::sscanf(claimant.c_str(), "pid %d@%255s", &pid, host) < 1 || pid <= 0)
        return false;
    if (host[0] != '\0' && hostName() != host)
        return true; // another machine's: not ours to judge
    return ::kill(pid, 0) == 0 || errno == EPERM;
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

JournalValues printedFields(const Document& doc, RecordMerge& merge)
{
    JournalValues fields;
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const Box& box = doc.box(index);
        if (!box.inUse || !box.isPrint || (!isTextBox(box.type) && box.dataField.empty()))
            continue;
        const Box& merged = merge.merged(box);
        if (!merged.isPrint)
            continue;
        fields.push_back({"box " + std::to_string(index),
                          isTextBox(box.type) || box.type == BoxType::DatePicker ? merged.attributes.text
                                                                                  : std::string()});
        if (!isTextBox(box.type))
            fields.back().value = std::string(box.dataField);
    }
    return fields;
}

JournalValues usedColumns(const Document& doc, const DataTable& table, int row)
{
    JournalValues columns;
    for (const auto& name : templateFields(doc)) {
        const int column = table.columnIndex(name);
        if (column >= 0 && row >= 0 && row < table.recordCount())
            columns.push_back({name, std::string(table.value(row, column))});
    }
    return columns;
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

PrintJournalEntry::PrintJournalEntry(std::string path) : m_path(std::move(path)) {}
PrintJournalEntry::~PrintJournalEntry() = default;

void PrintJournalEntry::note(const std::string& error)
{
    if (!error.empty() && m_problem.empty())
        m_problem = error;
}

bool PrintJournalEntry::begin(const JournalPrint& print, const Document& doc, const DataTable* table,
                              const std::vector<BatchItem>& items, const std::string& printer,
                              const std::vector<std::vector<CounterValue>>& presetCounters)
{
    if (Journal::isOff(m_path))
        return false;
    Journal::Opened opened = Journal::open(m_path);
    if (!opened.journal) {
        note("the print journal cannot be opened: " + opened.error);
        return false;
    }
    m_journal = std::move(opened.journal);

    JournalJobIn job;
    job.program = print.program;
    job.kind = print.kind;
    job.printer = printer;
    job.templatePath = print.templatePath;
    const auto slash = print.templatePath.rfind('/');
    job.templateName = slash == std::string::npos ? print.templatePath : print.templatePath.substr(slash + 1);
    job.templateBytes = print.templateBytes;
    job.calibration = print.calibration;
    job.copies = print.copies;
    job.dataSource = print.dataSource;
    job.repeats = print.repeats;
    job.startPrinting = true;

    const std::vector<std::string> counters = templateCounters(doc);
    const DataTable none;
    const DataTable& data = table != nullptr ? *table : none;
    RecordMerge merge(data, table == nullptr);
    const std::size_t count = table != nullptr ? items.size() : 1;
    for (std::size_t i = 0; i < count; ++i) {
        JournalRecordIn record;
        if (table != nullptr) {
            record.number = items[i].number;
            record.copies = items[i].copies;
            record.columns = usedColumns(doc, data, items[i].row);
        } else {
            record.copies = print.copies;
        }
        if (presetCounters.empty())
            record.counters = counters;
        job.records.push_back(std::move(record));
    }
    m_counters.assign(count, {});
    const auto recorded = m_journal->recordJob(job, [&](std::size_t i, const std::vector<CounterValue>& values,
                                                        JournalRecordIn& record) {
        const std::vector<CounterValue>& used = presetCounters.empty() ? values : presetCounters[i];
        m_counters[i] = asMergeValues(used);
        if (table != nullptr)
            merge.setRecord(items[i].row, items[i].number);
        merge.setCounterValues(m_counters[i]);
        record.fields = table == nullptr && !print.pageFields.empty() ? print.pageFields : printedFields(doc, merge);
    });
    note(m_journal->takeNotice());
    if (!recorded.ok()) {
        m_counters.assign(count, {});
        note("the print journal cannot be written: " + recorded.error);
        return false;
    }
    m_id = recorded.value;
    return true;
}

bool PrintJournalEntry::resume(JournalJobId id, const std::vector<int>& indices)
{
    Journal::Opened opened = Journal::open(m_path);
    if (!opened.journal) {
        note("the print journal cannot be opened: " + opened.error);
        return false;
    }
    m_journal = std::move(opened.journal);
    const auto records = m_journal->records(id);
    if (!records.ok() || records.value.empty()) {
        note(records.ok() ? "no journal job " + std::to_string(id) : records.error);
        return false;
    }
    m_counters.clear();
    for (const auto& record : records.value)
        m_counters.push_back(asMergeValues(record.counters));
    note(m_journal->markPrinting(id));
    for (std::size_t i = 0; i < indices.size();) {
        std::size_t j = i + 1;
        while (j < indices.size() && indices[j] == indices[j - 1] + 1)
            ++j;
        note(m_journal->setRecordOutcome(id, indices[i], indices[j - 1], JournalOutcome::Printing));
        i = j;
    }
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
    return journalCupsJobName(m_id, first + 1, last + 1, name);
}

void PrintJournalEntry::handedOver(int first, int last, bool toFile, const std::string& printer,
                                   const std::string& title, std::time_t since)
{
    if (!active())
        return;
    if (toFile) {
        note(m_journal->setRecordOutcome(m_id, first, last, JournalOutcome::Printed));
        return;
    }
    // The scheduler stamps the job when it takes it, possibly a second
    // before the clock read here.
    const int cupsId = cupsJobNamed(printer, title, since - 1);
    if (cupsId > 0)
        m_cupsJobs.push_back(cupsId);
    note(m_journal->addCupsJob(m_id, cupsId, first, last));
}

void PrintJournalEntry::failed(int first, int last, JournalOutcome outcome, const std::string& reason)
{
    if (active())
        note(m_journal->setRecordOutcome(m_id, first, last, outcome, reason));
}

void PrintJournalEntry::settle(std::chrono::milliseconds wait)
{
    if (!active())
        return;
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
    if (active())
        note(finishFromRecords(*m_journal, m_id));
}

std::string PrintJournalEntry::takeProblem()
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

int settleFromCups(Journal& journal, JournalJobId id, bool own, std::string& error)
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
    const std::vector<CupsJob> cups = myCupsJobs();
    std::map<int, const CupsJob*> byId;
    for (const auto& c : cups)
        byId[c.id] = &c;
    // The CUPS job of a record whose id was not noted: found by its name.
    const auto jobNamedFor = [&](int index) -> const CupsJob* {
        for (const auto& c : cups)
            if (const auto parts = parseJournalCupsJobName(c.title);
                parts && parts->id == id && parts->firstRecord <= index + 1 && index + 1 <= parts->lastRecord)
                return &c;
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
        const CupsJob* found = nullptr;
        if (record.cupsJobId > 0) {
            const auto at = byId.find(record.cupsJobId);
            found = at == byId.end() ? nullptr : at->second;
        } else if ((found = jobNamedFor(record.index)) != nullptr) {
            error = journal.addCupsJob(id, found->id, record.index, record.index);
        }
        if (found == nullptr) {
            // Being drawn by this process, or a job the scheduler no longer
            // remembers (whether it printed cannot be told): left printing.
            if (own || record.cupsJobId > 0) {
                ++open;
                continue;
            }
            changes.push_back({record.index, JournalOutcome::Failed, "never reached the print queue"});
            continue;
        }
        switch (found->state) {
        case CupsJobState::Completed: changes.push_back({record.index, JournalOutcome::Printed, {}}); break;
        case CupsJobState::Cancelled:
            changes.push_back({record.index, JournalOutcome::Cancelled, "cancelled in the print queue"});
            break;
        case CupsJobState::Aborted:
            changes.push_back({record.index, JournalOutcome::Failed, "aborted by the printer"});
            break;
        default:
            ++waiting;
            ++open;
            break;
        }
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

std::string journalPrinterName(const QPrinter& printer)
{
    return printer.outputFormat() != QPrinter::NativeFormat ? printer.outputFileName().toStdString()
                                                            : printer.printerName().toStdString();
}

void settleLater(std::unique_ptr<PrintJournalEntry> entry)
{
    if (!entry || !entry->active())
        return;
    auto* timer = new QTimer;
    timer->setInterval(1000);
    auto shared = std::shared_ptr<PrintJournalEntry>(std::move(entry));
    auto rounds = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, shared, rounds] {
        std::string error;
        const int waiting = settleFromCups(*shared->journal(), shared->id(), true, error);
        if (waiting == 0 || !error.empty() || ++*rounds >= 60) {
            shared->finish();
            timer->stop();
            timer->deleteLater();
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
