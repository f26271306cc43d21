#pragma once
// The "数据字段" drop-down of the date, picture and barcode dialogs: the column
// of the open data file whose value the box prints, one record at a time. It
// lists the file's columns and takes a typed name too, for a template made
// before its data; an empty entry means no column.

#include <QComboBox>

#include <string>
#include <vector>

namespace ordavel {

class DataFieldList : public QComboBox {
public:
    explicit DataFieldList(QWidget* parent = nullptr);

    // An empty entry, then `columns` (each name once); `field` shown.
    void load(const std::vector<std::string>& columns, const std::string& field);
    // The name shown. Spaces and tabs around a typed name are dropped unless
    // the name as shown is one of the columns; blanks alone give "".
    std::string field() const;

private:
    std::vector<std::string> m_columns;
};

} // namespace ordavel
