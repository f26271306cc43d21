#include "dialogs/data_field_list.h"

#include <algorithm>

namespace ordavel {

DataFieldList::DataFieldList(QWidget* parent) : QComboBox(parent)
{
    setObjectName(QStringLiteral("组合框_数据字段"));
    setEditable(true);
    // A typed name stays a typed name: Enter must not add it to the list.
    setInsertPolicy(QComboBox::NoInsert);
    setToolTip(QStringLiteral("打印一批记录时，这个框打印数据文件里这一列的值；空着就不用数据"));
}

void DataFieldList::load(const std::vector<std::string>& columns, const std::string& field)
{
    m_columns = columns;
    clear();
    addItem(QString());
    for (const auto& column : columns) {
        const QString name = QString::fromStdString(column);
        if (findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
            addItem(name);
    }
    const QString shown = QString::fromStdString(field);
    const int at = findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (at >= 0)
        setCurrentIndex(at);
    else
        setEditText(shown);
}

std::string DataFieldList::field() const
{
    const std::string shown = currentText().toStdString();
    if (std::find(m_columns.begin(), m_columns.end(), shown) != m_columns.end())
        return shown;
    const auto first = shown.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = shown.find_last_not_of(" \t");
    return shown.substr(first, last - first + 1);
}

} // namespace ordavel
