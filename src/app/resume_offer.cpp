#include "app/resume_offer.h"

#include "journal/journal_system.h"

#include "platform/batch_printer.h"
#include "platform/calibration_store.h"
#include "platform/paper_question.h"
#include "platform/journal_resume.h"
#include "platform/print_journal.h"
#include "platform/prompter.h"
#include "platform/window_print.h"
#include "print/job_paper.h"

#include <QPrinter>
#include <QWidget>

namespace ordavel {

namespace {

constexpr const char* kCaption = "打印文件";

// Sends the plan's records to the printer the job went to, one printer job
// per run of consecutive records; a job printed to a PDF file gets new files
// beside it, and the earlier file stays as it was.
void resumePrint(Prompter& prompter, QWidget* parent, JournalSession& session, const ResumePlan& plan,
                 const Document& doc)
{
    const auto tellProblem = [&prompter](const std::string& problem) {
        prompter.show(journalProblemMessage(problem));
    };
    const bool toFile = printedToFile(plan.job.printer);
    QPrinter printer(QPrinter::HighResolution);
    const Calibration calibration = CalibrationStore().load(plan.job.printer).calibration.value_or(Calibration{});
    if (!toFile) {
        printer.setPrinterName(QString::fromStdString(plan.job.printer));
        // Asked before the journal takes the resume: a "no" leaves the job as it was.
        if (!paperAccepted(printer, jobPaper(doc.page(), calibration.pageLengthMm), prompter))
            return;
    }
    const auto journal = session.runJournal();
    if (!journal->resume(plan.job.id, plan.todo)) {
        prompter.show(journalProblemMessage(journal->takeProblem()));
        return;
    }
    if (toFile) {
        const ResumedFiles written = resumeToFiles(plan, doc, *journal, parent);
        journal->finish();
        if (const std::string told = journal->takeProblem(); !told.empty())
            prompter.show(journalProblemMessage(told));
        if (!written.files.empty()) {
            std::string names;
            for (const auto& file : written.files)
                names += (names.empty() ? "“" : "”、“") + file;
            prompter.show(Message{"继续打印的记录存在 " + names + "”，原来的“" + plan.job.printer + "”没有改动。",
                                  kCaption, MessageIcon::Information, MessageButtons::Ok});
        }
        if (!written.completed)
            prompter.show(Message{"继续打印没有完成"
                                      + (written.error.empty() ? std::string() : "（" + written.error + "）")
                                      + "，没有打印的记录仍留在打印记录里。",
                                  kCaption, MessageIcon::Exclamation, MessageButtons::Ok});
        return;
    }
    const DataTable table = tableOfRecords(plan.records, plan.job.dataSource);
    // The table's rows are the job's records in order; a queue job holds a run of consecutive ones.
    WindowPrint resumed;
    resumed.doc = &doc;
    resumed.calibration = calibration;
    resumed.journal = journal;
    resumed.worker = session.worker();
    resumed.name = plan.job.templateName;
    resumed.table = &table;
    for (const int index : plan.todo) {
        const JournalRecord& record = plan.records[static_cast<std::size_t>(index)];
        resumed.items.push_back({index, record.number, record.copies});
    }
    resumed.recordOf = [&plan](std::size_t item) { return plan.todo[item]; };
    const WindowPrintResult result = printInWindow(resumed, printer, parent, nullptr, tellProblem, parent);
    if (!result.completed)
        prompter.show(Message{"继续打印没有完成，没有打印的记录仍留在打印记录里。", kCaption, MessageIcon::Exclamation,
                              MessageButtons::Ok});
}

} // namespace

int offerResume(Prompter& prompter, QWidget* parent, JournalSession& session)
{
    if (session.isOff())
        return 0;
    // Looking does not create a journal that was never written.
    std::string error;
    const std::shared_ptr<Journal> journal = session.journal(error, false);
    if (!journal)
        return 0;
    const auto open = journal->unfinishedJobs("designer");
    const std::string user = journalUserName();
    const std::string host = journal_system::hostName();
    int resumed = 0;
    for (const JournalJob& job : open.value) {
        if (job.resumeOffered || job.user != user || job.host != host || job.kind == "calibration")
            continue;
        // Reconciled with CUPS first; a job still in the queue, or whose
        // printing process still runs, is left for a later start.
        Document doc;
        const ResumePlan plan = planResume(*journal, job.id, std::chrono::milliseconds(0), doc);
        if (plan.state != ResumePlan::State::ToSend)
            continue;
        // Not kept (the journal refused the write): asked again at the next start.
        (void)journal->markResumeOffered(job.id);
        const std::string left = std::to_string(plan.todo.size());
        // A print to a file is not written again: the records go to a new file beside it.
        const std::string where = printedToFile(job.printer)
            ? "存到新文件“" + resumedFileName(job.printer) + "”（原来的“" + job.printer + "”不变）"
            : "送到“" + job.printer + "”";
        const Message question{"上次 " + formatJournalTime(job.createdAt) + " 开始的打印没有打完：“" + job.templateName
                                   + "”共 " + std::to_string(plan.records.size()) + " 条记录，还有 " + left
                                   + " 条没有打印。\r\n现在把这 " + left + " 条记录" + where
                                   + "吗？\r\n选“否”则不再提示，以后仍可以用 ordavel-cli journal resume "
                                   + std::to_string(job.id) + " 继续打印。",
                               kCaption, MessageIcon::Question, MessageButtons::YesNo};
        if (prompter.show(question) != MessageAnswer::Yes)
            continue;
        resumePrint(prompter, parent, session, plan, doc);
        ++resumed;
    }
    return resumed;
}

} // namespace ordavel
