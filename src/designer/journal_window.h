#pragma once
// The window `窗口_打印记录` over the print journal: a search over the printed
// values and the jobs' template and printer names, the jobs (newest first,
// their states as they change), the records of the chosen job with their
// values (the record a search found chosen), a preview of the current record
// drawn from the template bytes the journal keeps at the size of its pane,
// with or without the form's background ("显示背景图片"), "重新打印" for the
// chosen records, "处理不确定的记录" for the uncertain records of a job of
// the shop's print queue, and the check box "记录打印" that switches the
// journal on or off for the user. What it shows comes from the journal alone, never
// from the template file on disk.

#include "data/data_table.h"
#include "journal/journal.h"
#include "platform/journal_session.h"
#include "model/document.h"

#include <QDialog>
#include <QImage>

#include <future>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QTimer;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace ordavel {

class Prompter;

class JournalWindow : public QDialog {
    Q_OBJECT
public:
    // Shows the session's journal through a connection of its own, so that
    // the program's own prints count among the changes it polls for.
    JournalWindow(Prompter& prompter, JournalSession& session, QWidget* parent = nullptr);
    ~JournalWindow() override;

    QLineEdit* searchLine() const { return m_search; }
    QTableWidget* jobList() const { return m_jobs; }
    QTableWidget* recordList() const { return m_records; }
    QCheckBox* journalSwitch() const { return m_switch; }
    QPushButton* reprintButton() const { return m_reprint; }
    QPushButton* uncertainButton() const { return m_settleUncertain; }
    QCheckBox* backgroundSwitch() const { return m_background; }
    QWidget* previewPane() const { return m_preview; }

    // The jobs listed, in their order.
    const std::vector<JournalJob>& jobs() const { return m_jobList; }
    // The page of the current record as drawn for the preview (null when none).
    const QImage& previewImage() const { return m_previewImage; }

    // Reads the jobs again with the search as it stands; the first record of
    // the chosen job that the search finds becomes the current one.
    void refresh();
    // When another program (or this one's printing) wrote to the journal
    // since the last reading: reads the jobs written since and those that
    // were not finished, keeping the chosen job and records; the window's
    // timer calls it every second. True when it read.
    bool pollChanges();
    // Asks CUPS, on the journal's worker, how the listed jobs still printing
    // for a program that is gone (a tool that did not wait) ended; what it
    // writes is read at the next poll. The timer calls it every few seconds.
    // The future of the asking (not valid when no job is left to ask about).
    std::shared_future<void> settleUnfinished();
    // The whole of record `row`'s 内容 (one value a line) when its cell
    // shows it cut, else empty: the cell's tooltip.
    QString contentToolTip(int row) const;
    // Prints the chosen records of the chosen job again as a new job; false
    // when nothing was printed (nothing chosen, the printer chooser declined,
    // the stored template unusable, the print failed).
    bool reprintSelected();
    // Asks what the paper shows of the chosen job's uncertain records (those
    // chosen, or all of them): printed, or back into the shop's queue to print
    // once more; false when nothing was decided.
    bool settleUncertain();

    // The names shown for a job's or record's state, its program and its kind.
    static QString outcomeCaption(JournalOutcome outcome);
    static QString programCaption(const std::string& program);
    static QString kindCaption(const JournalJob& job);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillJobRow(int row);
    // The shop's stations in the filter (and the column shown), or neither outside a shop.
    void showStations(Journal& journal);
    std::string chosenStation() const;
    void sizeJobColumns(bool growOnly);
    void showJob(bool keepChoice = false);
    void chooseMatchingRecord();
    void showPreview();
    void tell(const std::string& text);
    Journal* journal();
    // The chosen job's uncertain records when it is one of the shop's queue.
    void readUncertain();
    std::string shopUrl() const;

    Prompter& m_prompter;
    JournalSession& m_session;
    const std::string m_path;
    std::unique_ptr<Journal> m_journal;
    bool m_toldUnopened = false; // the journal could not be opened, and the user was told
    std::vector<JournalJob> m_jobList;
    std::vector<JournalRecord> m_recordList;
    JournalJob m_job;
    Document m_doc;
    bool m_docLoaded = false;
    DataTable m_table; // the job's records as a table, for the preview's merge
    QImage m_previewImage;
    std::int64_t m_seenChanges = -1; // the journal's change count at the last reading
    std::shared_future<void> m_settling;
    int m_ticks = 0;

    QLineEdit* m_search = nullptr;
    QComboBox* m_station = nullptr; // the shop's stations, to list one station's jobs
    QTableWidget* m_jobs = nullptr;
    QTableWidget* m_records = nullptr;
    QWidget* m_preview = nullptr;
    QPushButton* m_reprint = nullptr;
    QPushButton* m_settleUncertain = nullptr; // shown for a shop queue's job with uncertain records
    std::map<int, std::string> m_uncertain;    // its record numbers (1-based) -> where they went
    QCheckBox* m_switch = nullptr;
    QCheckBox* m_background = nullptr;
    QTimer* m_poll = nullptr;
};

} // namespace ordavel
