#pragma once
// The designer's prints through the print run: the pages drawn under a
// progress window whose Cancel drops the job being drawn, handed to the
// queue of the printer the print dialog set up (or its file), then that
// queue followed on the event loop, once a second for at most a minute,
// without holding up the window; the journal's job is finished then.

#include "data/data_table.h"
#include "data/record_list.h"
#include "model/document.h"
#include "model/message.h"
#include "print/calibration.h"
#include "platform/journal_worker.h"
#include "print_run/print_run.h"
#include "print_run/run_journal.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;
class QPrinter;
class QProgressDialog;
class QWidget;

namespace ordavel {

// A progress window's side of a run: records counted when `counting`, and
// Cancel drops the job being drawn. Without a window every item goes on.
class ProgressReporter : public RunReporter {
public:
    ProgressReporter(QProgressDialog* progress, bool counting) : m_progress(progress), m_counting(counting) {}
    bool proceed(std::size_t item, std::size_t total) override;
    void drawn(std::size_t item, std::size_t total) override;
    bool dropsStoppedJob() const override { return true; }

private:
    QProgressDialog* m_progress;
    bool m_counting;
};

struct WindowPrint {
    const Document* doc = nullptr;
    Calibration calibration;
    std::shared_ptr<RunJournal> journal; // begun (or resumed) already; may keep none
    std::string name;                    // put after the records in each job's title
    // A batch: its table and items, item N printing journal record recordOf(N)
    // (N by default); none: one page, `copies` of it.
    const DataTable* table = nullptr;
    std::vector<BatchItem> items;
    std::function<int(std::size_t item)> recordOf;
    int startCell = 1;
    std::vector<int> cells; // each item's own cell on a sheet (FormPageDevice::setCells)
    int copies = 1;
    // Where the journal is tidied once the print is followed to its end; none: not tidied.
    std::shared_ptr<JournalWorker> worker;
};

struct WindowPrintResult {
    bool completed = false; // every item was handed over
    bool cancelled = false; // the user cancelled: the job being drawn went nowhere
    std::size_t sent = 0;   // items handed over
    int pages = 0;
    std::string error;      // why not, "" when completed
    std::vector<std::string> warnings; // from the merge (missing pictures, bad dates)
};

// Prints `print` on `printer`. With a progressParent a progress window counts
// the boxes of a page or the records of a batch. A printer or file that
// cannot be opened is told through `sink` ("打印文件"). Journal problems, now
// and while the queue is followed, are told once through `report` (only
// while `context` lives, when one is given).
WindowPrintResult printInWindow(const WindowPrint& print, QPrinter& printer, QWidget* progressParent,
                                MessageSink* sink, std::function<void(const std::string& problem)> report,
                                QObject* context);

} // namespace ordavel
