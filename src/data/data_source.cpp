#include "data/data_source.h"

#include "data/delimited_source.h"
#include "data/json_source.h"
#include "data/xlsx_source.h"
#include "file/path_name.h"
#include "file/picture.h"

#include <filesystem>

namespace ordavel {

namespace {

constexpr std::uintmax_t kMaxDataFileBytes = 2ull << 30;

std::string lowerExtension(const std::string& fileName)
{
    std::string ext = pathOfName(fileName).extension().string();
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

} // namespace

DataKind dataKindOf(const std::string& fileName, std::string_view bytes)
{
    if (!fileName.empty() && fileName != "-") {
        const std::string ext = lowerExtension(fileName);
        if (ext == ".xlsx" || ext == ".xlsm")
            return DataKind::Xlsx;
        if (ext == ".json" || ext == ".jsonl" || ext == ".ndjson")
            return DataKind::Json;
        return DataKind::Delimited;
    }
    if (bytes.substr(0, 4) == "PK\x03\x04")
        return DataKind::Xlsx;
    std::string_view text = bytes.substr(0, 3) == "\xEF\xBB\xBF" ? bytes.substr(3) : bytes;
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && (text[first] == '[' || text[first] == '{'))
        return DataKind::Json;
    return DataKind::Delimited;
}

DataReadResult readDataBytes(std::string_view bytes, DataKind kind, const std::string& sheet)
{
    DataReadResult result = kind == DataKind::Xlsx ? readXlsx(bytes, sheet)
        : kind == DataKind::Json                   ? readJson(bytes)
                                                   : readDelimited(bytes);
    // Records read before the fault must not be printed.
    if (!result.ok())
        result.table = DataTable();
    return result;
}

std::vector<std::string> dataSheetNames(const std::string& fileName)
{
    if (dataKindOf(fileName, {}) != DataKind::Xlsx)
        return {};
    const std::optional<std::string> bytes = readRegularFile(fileName, kMaxDataFileBytes);
    return bytes ? xlsxSheetNames(*bytes) : std::vector<std::string>{};
}

DataReadResult readDataFile(const std::string& fileName, const std::string& sheet)
{
    const std::optional<std::string> bytes = readRegularFile(fileName, kMaxDataFileBytes);
    if (!bytes) {
        DataReadResult result;
        result.error = "数据文件读不出来：" + fileName;
        return result;
    }
    DataReadResult result = readDataBytes(*bytes, dataKindOf(fileName, *bytes), sheet);
    if (result.ok()) {
        std::error_code ec;
        const auto full = std::filesystem::absolute(pathOfName(fileName), ec);
        result.table.folder = (ec ? pathOfName(fileName) : full).parent_path().string();
    }
    return result;
}

} // namespace ordavel
