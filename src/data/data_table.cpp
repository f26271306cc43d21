#include "data/data_table.h"

#include <algorithm>

namespace ordavel {

DataTable::DataTable(std::vector<std::string> columns) : m_columns(std::move(columns)) {}

int DataTable::recordCount() const
{
    if (m_columns.empty())
        return 0;
    return static_cast<int>((m_ends.size() - 1) / m_columns.size());
}

std::string_view DataTable::value(int record, int column) const
{
    const std::size_t cell = static_cast<std::size_t>(record) * m_columns.size() + static_cast<std::size_t>(column);
    return std::string_view(m_text).substr(m_ends[cell], m_ends[cell + 1] - m_ends[cell]);
}

int DataTable::columnIndex(std::string_view name) const
{
    const auto found = std::find(m_columns.begin(), m_columns.end(), name);
    return found == m_columns.end() ? -1 : static_cast<int>(found - m_columns.begin());
}

std::vector<std::string> DataTable::duplicateColumns() const
{
    std::vector<std::string> duplicates;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        const auto& name = m_columns[i];
        if (std::find(m_columns.begin(), m_columns.begin() + static_cast<std::ptrdiff_t>(i), name)
                == m_columns.begin() + static_cast<std::ptrdiff_t>(i)
            && std::count(m_columns.begin(), m_columns.end(), name) > 1)
            duplicates.push_back(name);
    }
    return duplicates;
}

void DataTable::appendCell(std::string_view value)
{
    m_text.append(value);
    m_ends.push_back(m_text.size());
    ++m_pending;
}

void DataTable::endRecord()
{
    while (m_pending < columnCount()) {
        m_ends.push_back(m_text.size());
        ++m_pending;
    }
    m_pending = 0;
}

std::string dataErrorAt(int row, int column, std::string_view what)
{
    std::string text;
    if (row > 0)
        text += "第 " + std::to_string(row) + " 行";
    if (column > 0)
        text += "第 " + std::to_string(column) + " 列";
    if (!text.empty())
        text += "：";
    text += what;
    return text;
}

} // namespace ordavel
