#pragma once
// The records of a data file as a Qt table model: each cell is read from the
// DataTable when the view asks for it, nothing is copied per cell.

#include "data/data_table.h"

#include <QAbstractTableModel>

#include <memory>

namespace ordavel {

class DataTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DataTableModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Shows `table` (shared, read-only); null shows nothing.
    void setTable(std::shared_ptr<const DataTable> table);
    const std::shared_ptr<const DataTable>& table() const { return m_table; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Column names across the top, record numbers (1-based) down the side.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::shared_ptr<const DataTable> m_table;
};

} // namespace ordavel
