// The one file that uses nlohmann-json.
#include "data/json_source.h"

#include <nlohmann/json.hpp>

#include <unordered_map>

namespace ordavel {

namespace {

using Json = nlohmann::ordered_json;

std::string cellText(const Json& value)
{
    switch (value.type()) {
    case Json::value_t::string: return value.get<std::string>();
    case Json::value_t::null: return {};
    default: return value.dump();
    }
}

// Line and column (1-based, column in bytes) of a byte offset.
std::pair<int, int> lineAndColumn(std::string_view text, std::size_t offset)
{
    int line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return {line, static_cast<int>(offset - lineStart) + 1};
}

std::string parseError(std::string_view text, std::size_t offset)
{
    const auto [line, column] = lineAndColumn(text, offset == 0 ? 0 : offset - 1);
    return dataErrorAt(line, column, "不是正确的 JSON");
}

constexpr std::string_view kTooLarge = "数字太大，超出了能读的范围";

} // namespace

std::size_t overflowingNumberAt(std::string_view text, std::string_view message)
{
    const std::size_t open = message.find('\'');
    const std::size_t close = message.rfind('\'');
    if (open == std::string_view::npos || close <= open + 1)
        return std::string_view::npos;
    return text.find(message.substr(open + 1, close - open - 1));
}

DataReadResult readJson(std::string_view bytes)
{
    DataReadResult result;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    std::vector<Json> records;
    std::vector<int> recordLines; // file line of each record, for messages
    std::size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        result.error = "数据文件是空的，没有列名";
        return result;
    }
    if (bytes[first] == '[') {
        Json all;
        try {
            all = Json::parse(bytes.begin(), bytes.end());
        } catch (const Json::parse_error& e) {
            result.error = parseError(bytes, e.byte);
            return result;
        } catch (const Json::out_of_range& e) {
            const std::size_t at = overflowingNumberAt(bytes, e.what());
            const auto [line, column] = lineAndColumn(bytes, at);
            result.error = at == std::string_view::npos ? std::string(kTooLarge) : dataErrorAt(line, column, kTooLarge);
            return result;
        }
        for (auto& record : all) {
            records.push_back(std::move(record));
            recordLines.push_back(0);
        }
    } else {
        // One object per line.
        std::size_t start = 0;
        int line = 1;
        while (start < bytes.size()) {
            std::size_t end = bytes.find('\n', start);
            if (end == std::string_view::npos)
                end = bytes.size();
            const std::string_view text = bytes.substr(start, end - start);
            if (text.find_first_not_of(" \t\r") != std::string_view::npos) {
                try {
                    records.push_back(Json::parse(text.begin(), text.end()));
                    recordLines.push_back(line);
                } catch (const Json::parse_error& e) {
                    result.error = dataErrorAt(line, static_cast<int>(e.byte == 0 ? 1 : e.byte), "不是正确的 JSON");
                    return result;
                } catch (const Json::out_of_range& e) {
                    const std::size_t at = overflowingNumberAt(text, e.what());
                    result.error =
                        dataErrorAt(line, at == std::string_view::npos ? 0 : static_cast<int>(at) + 1, kTooLarge);
                    return result;
                }
            }
            start = end + 1;
            ++line;
        }
    }

    std::vector<std::string> columns;
    std::unordered_map<std::string, int> columnOf;
    for (std::size_t r = 0; r < records.size(); ++r) {
        if (!records[r].is_object()) {
            const int line = recordLines[r];
            result.error = line > 0 ? dataErrorAt(line, 0, "这一行不是一个对象")
                                    : "第 " + std::to_string(r + 1) + " 条记录不是一个对象";
            return result;
        }
        for (const auto& item : records[r].items()) {
            if (columnOf.emplace(item.key(), static_cast<int>(columns.size())).second)
                columns.push_back(item.key());
        }
    }
    if (columns.empty() && records.empty()) {
        result.error = "数据文件没有记录，也没有列名";
        return result;
    }
    result.table = DataTable(columns);
    std::vector<std::string> cells(columns.size());
    for (const auto& record : records) {
        for (auto& cell : cells)
            cell.clear();
        for (const auto& item : record.items())
            cells[static_cast<std::size_t>(columnOf[item.key()])] = cellText(item.value());
        for (const auto& cell : cells)
            result.table.appendCell(cell);
        result.table.endRecord();
    }
    return result;
}

} // namespace ordavel
