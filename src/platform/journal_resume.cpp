#include "platform/journal_resume.h"

#include "print_run/printed_fields.h"

#include "data/merge.h"
#include "platform/batch_printer.h"
#include "platform/form_page_device.h"
#include "platform/print_journal.h"
#include "platform/printer.h"
#include "platform/window_print.h"
#include "print/job_paper.h"
#include "print_run/file_spooler.h"
#include "print_run/print_run.h"

#include <QPrinter>
#include <QProgressDialog>

#include <cstdio>
#include <filesystem>
#include <thread>

namespace ordavel {

ResumePlan planResume(Journal& journal, JournalJobId id, std::chrono::milliseconds wait, Document& doc)
{
    ResumePlan plan;
    const auto job = journal.job(id);
    if (!job.ok() || !job.value) {
        plan.error = job.ok() ? "no job " + std::to_string(id) : job.error;
        return plan;
    }
    if (job.value->kind == "calibration") {
        plan.error = "a calibration page is printed again with calibrate-page";
        return plan;
    }
    // What reached the queue before: asked of CUPS, waiting for jobs still in it.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (settleFromCups(journal, id, false, plan.error) > 0 && plan.error.empty()
           && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    if (!plan.error.empty())
        return plan;
    auto records = journal.records(id);
    if (!records.ok()) {
        plan.error = records.error;
        return plan;
    }
    for (const auto& record : records.value) {
        if (record.outcome == JournalOutcome::Printing)
            ++plan.inQueue;
        else if (record.outcome != JournalOutcome::Printed)
            plan.todo.push_back(record.index);
    }
    if (plan.inQueue > 0) {
        plan.state = ResumePlan::State::InQueue;
        return plan;
    }
    if (plan.todo.empty()) {
        plan.error = finishFromRecords(journal, id);
        plan.state = plan.error.empty() ? ResumePlan::State::Done : ResumePlan::State::Failed;
        return plan;
    }
    if (!loadJournalTemplate(journal, *job.value, doc, plan.error))
        return plan;
    // Records that gave their counter values back take new ones, and records
    // whose printed fields were never written (the earlier run ended before
    // it wrote them) get them merged from the stored template.
    const DataTable table = tableOfRecords(records.value, job.value->dataSource);
    RecordMerge merge(table);
    const auto fieldsOf = [&](const JournalRecord& record) {
        merge.setRecord(record.index, record.number);
        RecordMerge::CounterValues values;
        for (const auto& counter : record.counters)
            values.emplace_back(counter.name, counter.value);
        merge.setCounterValues(values);
        return printedFields(doc, merge);
    };
    plan.error = journal.retakeCounters(id, plan.todo, [&](JournalRecord& record) { record.fields = fieldsOf(record); });
    if (!plan.error.empty())
        return plan;
    records = journal.records(id);
    if (!records.ok()) {
        plan.error = records.error;
        return plan;
    }
    std::vector<std::pair<int, JournalValues>> missing;
    for (const auto& record : records.value)
        if (record.fieldsPending)
            missing.emplace_back(record.index, fieldsOf(record));
    if (!missing.empty()) {
        plan.error = journal.setRecordFields(id, missing);
        if (!plan.error.empty())
            return plan;
        records = journal.records(id);
    }
    plan.job = *job.value;
    plan.records = std::move(records.value);
    plan.state = ResumePlan::State::ToSend;
    return plan;
}

namespace {

namespace fs = std::filesystem;

fs::path pathOf(const std::string& name) { return fs::path(std::u8string(name.begin(), name.end())); }

// The n-th name a resume of `printed` may take (n from 1). Only the file's
// own name changes: its folder stays spelt as it was recorded.
std::string resumedCandidate(const std::string& printed, int n)
{
    const fs::path path = pathOf(printed);
    const std::u8string file = path.filename().u8string();
    const std::u8string stem = path.stem().u8string();
    const std::u8string extension = path.extension().u8string();
    const std::string suffix = "-resumed" + (n > 1 ? "-" + std::to_string(n) : std::string());
    return printed.substr(0, printed.size() - file.size()) + std::string(stem.begin(), stem.end()) + suffix
        + std::string(extension.begin(), extension.end());
}

constexpr int kMaxResumedNames = 999;

// Creates the first free resumed name, empty, so that no other print takes
// it: "" when none can be created.
std::string takeResumedFile(const std::string& printed, std::string& error)
{
    for (int n = 1; n <= kMaxResumedNames; ++n) {
        const std::string name = resumedCandidate(printed, n);
        std::error_code ec;
        if (fs::exists(pathOf(name), ec) || fs::is_symlink(pathOf(name), ec))
            continue;
        // "x": fails when the file exists, however it came to.
#ifdef _WIN32
        std::FILE* file = ::_wfopen(pathOf(name).c_str(), L"wbx");
#else
        std::FILE* file = std::fopen(name.c_str(), "wbx");
#endif
        if (file != nullptr) {
            std::fclose(file);
            return name;
        }
        if (!fs::exists(pathOf(name), ec)) {
            error = "cannot create \"" + name + "\"";
            return {};
        }
    }
    error = "no free name for the resumed records beside \"" + printed + "\"";
    return {};
}

} // namespace

std::string resumedFileName(const std::string& printed)
{
    std::error_code ec;
    for (int n = 1; n <= kMaxResumedNames; ++n) {
        const std::string name = resumedCandidate(printed, n);
        if (!fs::exists(pathOf(name), ec) && !fs::is_symlink(pathOf(name), ec))
            return name;
    }
    return resumedCandidate(printed, kMaxResumedNames + 1);
}

ResumedFiles resumeToFiles(const ResumePlan& plan, const Document& doc, RunJournal& journal,
                           QWidget* progressParent)
{
    ResumedFiles result;
    const DataTable table = tableOfRecords(plan.records, plan.job.dataSource);
    bool stopped = false;
    for (const auto& [first, last] : consecutiveRuns(plan.todo)) {
        std::string file;
        if (!stopped && (file = takeResumedFile(plan.job.printer, result.error)).empty())
            stopped = true;
        if (stopped) {
            journal.failed(first, last, JournalOutcome::Cancelled, result.error.empty() ? "not sent" : result.error);
            continue;
        }
        // The table's rows are the job's records in order.
        std::vector<BatchItem> items;
        for (int index = first; index <= last; ++index) {
            const JournalRecord& record = plan.records[static_cast<std::size_t>(index)];
            items.push_back({index, record.number, record.copies});
        }
        const auto recordOf = [from = first](std::size_t item) { return from + static_cast<int>(item); };
        FileSpooler spooler(file);
        FormPageDevice device(doc, Calibration{}, journal, table, items, recordOf);
        const std::unique_ptr<QProgressDialog> progress
            = makePrintProgress(progressParent, static_cast<int>(items.size()));
        ProgressReporter reporter(progress.get(), true);
        RunPlan run;
        run.printer = file;
        run.name = plan.job.templateName;
        run.paper = jobPaper(doc.page());
        run.items = items.size();
        run.recordOf = recordOf;
        const RunResult printed = PrintRun(journal, spooler).print(run, device, reporter);
        std::error_code ec;
        if (printed.ok() || fs::file_size(pathOf(file), ec) > 0)
            result.files.push_back(file);
        else
            fs::remove(pathOf(file), ec); // nothing was written into the name taken
        stopped = !printed.ok();
    }
    result.completed = !stopped;
    return result;
}

} // namespace ordavel
