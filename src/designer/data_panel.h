#pragma once
// The data panel `面板_数据`: the records of the open data file in a table,
// first/previous/next/last and the current record's number, and the column
// that gives each record's copies. The preview draws the current record
// through boxView().

#include "data/merge.h"
#include "print/print_job.h"

#include <QDockWidget>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace ordavel {

class DataTableModel;

class DataPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit DataPanel(QWidget* parent = nullptr);
    ~DataPanel() override;

    // Shows the records of `table`, read from `filePath` (its sheet `sheet`
    // for a workbook, else ""), the first one current. The panel names the
    // file and the sheet.
    void setData(std::shared_ptr<const DataTable> table, const QString& filePath, const QString& sheet = {});
    bool hasData() const { return m_table != nullptr; }
    const DataTable* table() const { return m_table.get(); }

    // The current record's row (0-based); -1 without records.
    int currentRow() const { return m_row; }
    void setCurrentRow(int row);
    void first() { setCurrentRow(0); }
    void previous() { setCurrentRow(m_row - 1); }
    void next() { setCurrentRow(m_row + 1); }
    void last() { setCurrentRow(recordCount() - 1); }
    int recordCount() const;

    // The column chosen for copies per record; "" for one copy each.
    std::string copiesColumn() const;
    // Every record's row once for each copy it prints, in order, as a batch
    // of all records prints them (one copy each when a count cannot be read).
    std::vector<int> printedRows() const;

    // Boxes as they draw for the current record (each box itself without data).
    BoxFilter boxView() { return recordView(m_row); }
    // The same for record `row` (0-based); valid until the next view is asked for.
    BoxFilter recordView(int row);

    // A warning under the table (what the template needs that the data lacks);
    // "" hides it.
    void showCheck(const std::string& text);

signals:
    void currentRecordChanged(int row);
    // Another copies column was chosen.
    void copiesColumnChanged();

private:
    void showPosition();

    std::shared_ptr<const DataTable> m_table;
    std::unique_ptr<RecordMerge> m_merge;
    int m_row = -1;
    DataTableModel* m_model = nullptr;
    QLabel* m_file = nullptr;
    QTableView* m_view = nullptr;
    QLabel* m_position = nullptr;
    QLabel* m_check = nullptr;
    QComboBox* m_copies = nullptr;
    QPushButton* m_first = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_last = nullptr;
};

} // namespace ordavel
