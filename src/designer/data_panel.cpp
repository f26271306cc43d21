#include "designer/data_panel.h"

#include "platform/data_table_model.h"

#include "data/record_list.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace ordavel {

DataPanel::DataPanel(QWidget* parent) : QDockWidget(QStringLiteral("数据"), parent)
{
    setObjectName(QStringLiteral("面板_数据"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    m_file = new QLabel(body);
    m_file->setObjectName(QStringLiteral("标签_数据文件"));
    layout->addWidget(m_file);

    m_model = new DataTableModel(this);
    m_view = new QTableView(body);
    m_view->setObjectName(QStringLiteral("表格_数据记录"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->setDefaultSectionSize(22);
    layout->addWidget(m_view, 1);
    m_check = new QLabel(body);
    m_check->setObjectName(QStringLiteral("标签_数据提示"));
    m_check->setStyleSheet(QStringLiteral("color: #b03030;"));
    m_check->setWordWrap(true);
    m_check->hide();
    layout->addWidget(m_check);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    setCurrentRow(current.row());
            });

    auto* row = new QHBoxLayout;
    const auto button = [&](const char* name, const char* caption, void (DataPanel::*step)()) {
        auto* b = new QPushButton(QString::fromUtf8(caption), body);
        b->setObjectName(QString::fromUtf8(name));
        connect(b, &QPushButton::clicked, this, step);
        row->addWidget(b);
        return b;
    };
    m_first = button("按钮_第一条", "第一条", &DataPanel::first);
    m_previous = button("按钮_上一条", "上一条", &DataPanel::previous);
    m_position = new QLabel(body);
    m_position->setObjectName(QStringLiteral("标签_当前记录"));
    m_position->setAlignment(Qt::AlignCenter);
    row->addWidget(m_position, 1);
    m_next = button("按钮_下一条", "下一条", &DataPanel::next);
    m_last = button("按钮_最后一条", "最后一条", &DataPanel::last);
    layout->addLayout(row);

    auto* copiesRow = new QHBoxLayout;
    copiesRow->addWidget(new QLabel(QStringLiteral("份数列："), body));
    m_copies = new QComboBox(body);
    m_copies->setObjectName(QStringLiteral("组合框_份数列"));
    copiesRow->addWidget(m_copies, 1);
    connect(m_copies, &QComboBox::currentIndexChanged, this, &DataPanel::copiesColumnChanged);
    layout->addLayout(copiesRow);
    setWidget(body);
    showPosition();
}

DataPanel::~DataPanel() = default;

void DataPanel::setData(std::shared_ptr<const DataTable> table, const QString& filePath, const QString& sheet)
{
    m_table = std::move(table);
    m_merge = m_table ? std::make_unique<RecordMerge>(*m_table) : nullptr;
    m_model->setTable(m_table);
    const QString name = QFileInfo(filePath).fileName();
    m_file->setText(sheet.isEmpty() ? name : QStringLiteral("%1　工作表：%2").arg(name, sheet));
    m_file->setToolTip(QDir::toNativeSeparators(filePath));
    m_copies->clear();
    m_copies->addItem(QStringLiteral("（每条一份）"));
    if (m_table)
        for (const auto& column : m_table->columns())
            m_copies->addItem(QString::fromStdString(column));
    m_row = -1;
    setCurrentRow(0);
    showPosition();
}

int DataPanel::recordCount() const { return m_table ? m_table->recordCount() : 0; }

void DataPanel::setCurrentRow(int row)
{
    const int count = recordCount();
    if (count == 0)
        row = -1;
    else
        row = std::clamp(row, 0, count - 1);
    if (row == m_row)
        return;
    m_row = row;
    if (row >= 0) {
        const QModelIndex index = m_model->index(row, 0);
        if (m_view->selectionModel()->currentIndex().row() != row)
            m_view->selectionModel()->setCurrentIndex(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_view->scrollTo(index);
    }
    showPosition();
    emit currentRecordChanged(m_row);
}

std::string DataPanel::copiesColumn() const
{
    return m_copies->currentIndex() <= 0 ? std::string() : m_copies->currentText().toStdString();
}

std::vector<int> DataPanel::printedRows() const
{
    std::vector<int> rows;
    if (!m_table)
        return rows;
    std::vector<int> all(static_cast<std::size_t>(m_table->recordCount()));
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<int>(i);
    std::string error;
    std::vector<BatchItem> items = planBatch(*m_table, all, copiesColumn(), error);
    if (!error.empty())
        items = planBatch(*m_table, all, {}, error);
    for (const BatchItem& item : items)
        rows.insert(rows.end(), static_cast<std::size_t>(std::max(item.copies, 0)), item.row);
    return rows;
}

BoxFilter DataPanel::recordView(int row)
{
    if (!m_merge || row < 0 || row >= recordCount())
        return {};
    m_merge->setRecord(row, row + 1);
    return [this](const Box& box) -> const Box& { return m_merge->merged(box); };
}

void DataPanel::showCheck(const std::string& text)
{
    m_check->setText(QString::fromStdString(text));
    m_check->setVisible(!text.empty());
}

void DataPanel::showPosition()
{
    const int count = recordCount();
    m_position->setText(count == 0 ? QStringLiteral("没有记录")
                                   : QStringLiteral("第 %1 条，共 %2 条").arg(m_row + 1).arg(count));
    m_first->setEnabled(m_row > 0);
    m_previous->setEnabled(m_row > 0);
    m_next->setEnabled(m_row >= 0 && m_row + 1 < count);
    m_last->setEnabled(m_row >= 0 && m_row + 1 < count);
}

} // namespace ordavel
