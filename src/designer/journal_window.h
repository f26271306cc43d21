#pragma once
// The window `窗口_打印记录` over the print journal: a search over the printed
// values, the jobs (newest first), the records of the chosen job with their
// values, a preview of the current record drawn from the template bytes the
// journal keeps, "重新打印" for the chosen records, and the check box
// "记录打印" that switches the journal on or off for the user. What it shows
// comes from the journal alone, never from the template file on disk.

#include "data/data_table.h"
#include "journal/journal.h"
#include "model/document.h"

#include <QDialog>
#include <QImage>

#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace ordavel {

class Prompter;

class JournalWindow : public QDialog {
    Q_OBJECT
public:
    explicit JournalWindow(Prompter& prompter, std::string journalPath = Journal::defaultPath(),
                           QWidget* parent = nullptr);
    ~JournalWindow() override;

    QLineEdit* searchLine() const { return m_search; }
    QTableWidget* jobList() const { return m_jobs; }
    QTableWidget* recordList() const { return m_records; }
    QCheckBox* journalSwitch() const { return m_switch; }
    QPushButton* reprintButton() const { return m_reprint; }

    // The jobs listed, in their order.
    const std::vector<JournalJob>& jobs() const { return m_jobList; }
    // The page of the current record as drawn for the preview (null when none).
    const QImage& previewImage() const { return m_previewImage; }

    // Reads the jobs again with the search as it stands.
    void refresh();
    // Prints the chosen records of the chosen job again as a new job; false
    // when nothing was printed (nothing chosen, the printer chooser declined,
    // the stored template unusable, the print failed).
    bool reprintSelected();

private:
    void showJob();
    void showPreview();
    void tell(const std::string& text);
    Journal* journal();

    Prompter& m_prompter;
    std::string m_path;
    std::unique_ptr<Journal> m_journal;
    std::vector<JournalJob> m_jobList;
    std::vector<JournalRecord> m_recordList;
    JournalJob m_job;
    Document m_doc;
    bool m_docLoaded = false;
    DataTable m_table; // the job's records as a table, for the preview's merge
    QImage m_previewImage;

    QLineEdit* m_search = nullptr;
    QTableWidget* m_jobs = nullptr;
    QTableWidget* m_records = nullptr;
    QLabel* m_preview = nullptr;
    QPushButton* m_reprint = nullptr;
    QCheckBox* m_switch = nullptr;
};

} // namespace ordavel
