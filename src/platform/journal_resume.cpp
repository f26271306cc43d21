#include "platform/journal_resume.h"

#include "data/merge.h"
#include "platform/print_journal.h"

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
