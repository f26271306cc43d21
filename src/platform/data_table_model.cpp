#include "platform/data_table_model.h"

namespace ordavel {

void DataTableModel::setTable(std::shared_ptr<const DataTable> table)
{
    beginResetModel();
    m_table = std::move(table);
    endResetModel();
}

int DataTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_table ? 0 : m_table->recordCount();
}

int DataTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_table ? 0 : m_table->columnCount();
}

QVariant DataTableModel::data(const QModelIndex& index, int role) const
{
    if (!m_table || !index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const std::string_view value = m_table->value(index.row(), index.column());
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

QVariant DataTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!m_table || role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= m_table->columnCount())
        return {};
    return QString::fromStdString(m_table->columns()[static_cast<std::size_t>(section)]);
}

} // namespace ordavel
