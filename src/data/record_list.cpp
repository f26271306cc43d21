#include "data/record_list.h"

#include "data/field_text.h"

#include <charconv>

namespace ordavel {

namespace {

constexpr int kMaxCopies = 9999;

bool readNumber(std::string_view text, int& value)
{
    if (text.empty())
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

RecordSelection parseRecordList(std::string_view text, int recordCount)
{
    RecordSelection selection;
    if (trimBlanks(text).empty()) {
        for (int row = 0; row < recordCount; ++row)
            selection.rows.push_back(row);
        return selection;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find(',', start), text.size());
        const std::string_view piece = trimBlanks(text.substr(start, end - start));
        start = end + 1;
        const auto bad = [&](const std::string& why) {
            selection.rows.clear();
            selection.error = "记录范围“" + std::string(piece) + "”不对：" + why;
            return selection;
        };
        int first = 0;
        int last = 0;
        const std::size_t dash = piece.find('-');
        if (dash == std::string_view::npos) {
            if (!readNumber(piece, first))
                return bad("应当是记录号或范围，例如 1-50,75,100-");
            last = first;
        } else {
            if (!readNumber(trimBlanks(piece.substr(0, dash)), first))
                return bad("应当是记录号或范围，例如 1-50,75,100-");
            const std::string_view tail = trimBlanks(piece.substr(dash + 1));
            if (tail.empty())
                last = recordCount;
            else if (!readNumber(tail, last))
                return bad("应当是记录号或范围，例如 1-50,75,100-");
        }
        if (first < 1)
            return bad("记录号从 1 数起");
        if (first > recordCount || last > recordCount)
            return bad("只有 " + std::to_string(recordCount) + " 条记录");
        if (last < first)
            return bad("范围的结尾小于开头");
        for (int number = first; number <= last; ++number)
            selection.rows.push_back(number - 1);
    }
    return selection;
}

std::vector<BatchItem> planBatch(const DataTable& table, const std::vector<int>& rows,
                                 const std::string& copiesColumn, std::string& error)
{
    error.clear();
    int column = -1;
    if (!copiesColumn.empty()) {
        column = table.columnIndex(copiesColumn);
        if (column < 0) {
            error = "数据文件里没有份数列“" + copiesColumn + "”";
            return {};
        }
    }
    std::vector<BatchItem> items;
    items.reserve(rows.size());
    int number = 0;
    for (const int row : rows) {
        BatchItem item{row, ++number, 1};
        if (column >= 0) {
            const std::string_view value = trimBlanks(table.value(row, column));
            if (!value.empty() && (!readNumber(value, item.copies) || item.copies < 0 || item.copies > kMaxCopies)) {
                error = "第 " + std::to_string(row + 1) + " 条记录的“" + copiesColumn + "”列：份数应当是 0 到 "
                    + std::to_string(kMaxCopies) + " 的整数，不是“" + std::string(value) + "”";
                return {};
            }
        }
        items.push_back(item);
    }
    return items;
}

std::string recordListOf(const std::vector<BatchItem>& items, std::size_t from)
{
    std::string list;
    std::size_t i = from;
    while (i < items.size()) {
        std::size_t j = i;
        while (j + 1 < items.size() && items[j + 1].row == items[j].row + 1)
            ++j;
        if (!list.empty())
            list += ',';
        list += std::to_string(items[i].row + 1);
        if (j > i)
            list += "-" + std::to_string(items[j].row + 1);
        i = j + 1;
    }
    return list;
}

} // namespace ordavel
