#include "platform/window_print.h"

#include "platform/form_page_device.h"
#include "platform/journal_worker.h"
#include "platform/printer.h"
#include "platform/system_spooler.h"

#include "print/job_paper.h"
#include "print_run/print_run.h"

#include <QCoreApplication>
#include <QPointer>
#include <QPrinter>
#include <QProgressDialog>
#include <QTimer>

namespace ordavel {

namespace {

// What following the queue after a print needs, kept by the event loop's timer.
struct Following {
    std::unique_ptr<Spooler> spooler;
    std::shared_ptr<RunJournal> journal;
    std::unique_ptr<PrintRun> run;
    std::shared_ptr<JournalWorker> worker;
};

void tidyOnWorker(const Following& following)
{
    if (!following.worker)
        return;
    following.worker->post([journal = following.journal] {
        // Tidying that fails is done again after the next print.
        if (Journal* written = journal->journal())
            (void)written->tidyWhenDue();
    });
}

// The first turn comes as soon as the window is idle again, and tells what
// went wrong with the journal so far; then the queue is asked once a second,
// for at most a minute. What is still in the queue then stays printing, for
// the journal window or the next start to settle.
void followLater(const std::shared_ptr<Following>& following, const std::function<void(const std::string&)>& tell)
{
    auto* timer = new QTimer;
    timer->setInterval(0);
    auto rounds = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, following, rounds, tell] {
        const bool first = (*rounds)++ == 0;
        if (first) {
            tell(following->journal->takeProblem());
            timer->setInterval(1000);
        }
        const bool done = first ? following->run->follower().empty() : following->run->follow();
        if (!done && *rounds <= 60) {
            tell(following->journal->takeProblem());
            return;
        }
        following->run->finish();
        timer->stop();
        timer->deleteLater();
        tell(following->journal->takeProblem());
        tidyOnWorker(*following);
    });
    timer->start();
}

} // namespace

bool ProgressReporter::proceed(std::size_t, std::size_t)
{
    if (m_progress == nullptr)
        return true;
    QCoreApplication::processEvents();
    return !m_progress->wasCanceled();
}

void ProgressReporter::drawn(std::size_t item, std::size_t total)
{
    if (m_progress == nullptr || !m_counting)
        return;
    m_progress->setLabelText(QStringLiteral("正在打印... %1/%2").arg(item + 1).arg(total));
    m_progress->setValue(static_cast<int>(item + 1));
}

WindowPrintResult printInWindow(const WindowPrint& print, QPrinter& printer, QWidget* progressParent,
                                MessageSink* sink, std::function<void(const std::string& problem)> report,
                                QObject* context)
{
    const Document& doc = *print.doc;
    auto following = std::make_shared<Following>();
    following->spooler = spoolerFor(printer);
    following->journal = print.journal ? print.journal : std::make_shared<RunJournal>();
    following->worker = print.worker;
    RunJournal& journal = *following->journal;

    RunPlan plan;
    plan.printer = destinationOf(printer);
    plan.name = print.name;
    plan.paper = jobPaper(doc.page(), print.calibration.pageLengthMm);
    plan.copies = print.table != nullptr ? 1 : std::max(1, print.copies);
    plan.items = print.table != nullptr ? print.items.size() : 1;
    plan.recordOf = print.recordOf;
    plan.options = dialogOptionsOf(printer);

    std::unique_ptr<FormPageDevice> device;
    if (print.table != nullptr)
        device = std::make_unique<FormPageDevice>(
            doc, print.calibration, journal, *print.table, print.items,
            print.recordOf ? print.recordOf : [](std::size_t item) { return static_cast<int>(item); }, print.startCell);
    else
        device = std::make_unique<FormPageDevice>(doc, print.calibration, journal);
    if (print.table != nullptr)
        device->setCells(print.cells);

    const std::unique_ptr<QProgressDialog> progress = makePrintProgress(
        progressParent, print.table != nullptr ? static_cast<int>(print.items.size()) : doc.slotCount());
    if (print.table == nullptr) {
        if (progress && !print.calibration.isIdentity())
            progress->setLabelText(QStringLiteral("正在打印...\n打印机校准：")
                                   + QString::fromStdString(describeCalibration(print.calibration)));
        QProgressDialog* window = progress.get();
        device->setBoxProgress([window](int index) {
            if (window == nullptr)
                return true;
            window->setValue(index);
            QCoreApplication::processEvents();
            return !window->wasCanceled();
        });
    }
    // The first journal problem, once; none after the context is gone. What
    // went wrong in opening or writing the job is told now, before the pages.
    const bool guarded = context != nullptr;
    const QPointer<QObject> alive(context);
    auto told = std::make_shared<bool>(false);
    const auto tell = [report = std::move(report), guarded, alive, told](const std::string& problem) {
        if (problem.empty() || *told || !report || (guarded && alive.isNull()))
            return;
        *told = true;
        report(problem);
    };
    tell(journal.takeProblem());

    ProgressReporter reporter(progress.get(), print.table != nullptr);
    following->run = std::make_unique<PrintRun>(journal, *following->spooler);
    const RunResult run = following->run->print(plan, *device, reporter);

    WindowPrintResult result;
    result.completed = run.ok();
    result.cancelled = run.dropped;
    result.sent = run.sent;
    result.pages = device->pages();
    result.error = run.error;
    result.warnings = device->merge().warnings();
    if (!run.ok() && !run.dropped && sink != nullptr)
        sink->show(run.refused ? Message{"打印机没有接受这个任务，请重试。\r\n（" + run.error + "）", "打印文件",
                                         MessageIcon::Stop, MessageButtons::Ok}
                               : printOutputFailed(printer));

    followLater(following, tell);
    return result;
}

} // namespace ordavel
