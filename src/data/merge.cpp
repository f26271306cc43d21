#include "data/merge.h"

#include "data/field_text.h"
#include "field_format/field_format.h"
#include "data/xlsx_source.h"
#include "file/path_name.h"
#include "file/picture.h"
#include "file/value_format.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace ordavel {

namespace {

constexpr std::uintmax_t kMaxPictureBytes = 64u << 20;
constexpr std::size_t kPictureCacheBytes = 64u << 20;

void addOnce(std::vector<std::string>& names, const std::string& name)
{
    if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
}

// BMP, JPEG and GIF, by their first bytes.
bool isPrintablePicture(std::string_view bytes)
{
    return bytes.substr(0, 2) == "BM" || bytes.substr(0, 3) == "\xFF\xD8\xFF" || bytes.substr(0, 4) == "GIF8";
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const auto& name : names)
        text += (text.empty() ? "" : "、") + name;
    return text;
}

} // namespace

bool takesPlaceholders(BoxType type)
{
    return type == BoxType::EditBox || type == BoxType::Label || type == BoxType::ComboBox ||
           type == BoxType::BarcodeBox;
}

std::vector<std::string> templateFields(const Document& doc)
{
    std::vector<std::string> names;
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const Box& b = doc.box(index);
        if (!b.inUse)
            continue;
        if (takesPlaceholders(b.type))
            for (const auto& name : placeholderNames(b.attributes.text))
                addOnce(names, name);
        if (!b.dataField.empty())
            addOnce(names, b.dataField);
    }
    return names;
}

std::vector<std::string> templateCounters(const Document& doc)
{
    std::vector<std::string> names;
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const Box& b = doc.box(index);
        if (b.inUse && b.isPrint && takesPlaceholders(b.type))
            for (const auto& name : counterNames(b.attributes.text))
                addOnce(names, name);
    }
    return names;
}

std::string FieldCheck::message() const
{
    std::string text;
    if (!missing.empty())
        text += "数据文件里没有模板用到的列：" + joined(missing);
    if (!ambiguous.empty())
        text += (text.empty() ? "" : "\n") + std::string("数据文件里有多个同名的列：") + joined(ambiguous);
    if (!badFormats.empty()) {
        std::vector<std::string> placeholders;
        for (const auto& placeholder : badFormats)
            placeholders.push_back("${" + placeholder + "}");
        text += (text.empty() ? "" : "\n") + std::string("模板用到未知的格式：") + joined(placeholders);
    }
    return text;
}

FieldCheck checkFields(const Document& doc, const DataTable& table)
{
    FieldCheck check;
    const std::vector<std::string> duplicates = table.duplicateColumns();
    for (const auto& name : templateFields(doc)) {
        if (table.columnIndex(name) < 0)
            check.missing.push_back(name);
        else if (std::find(duplicates.begin(), duplicates.end(), name) != duplicates.end())
            check.ambiguous.push_back(name);
    }
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const Box& b = doc.box(index);
        if (b.inUse && takesPlaceholders(b.type))
            for (auto& placeholder : unknownFormats(b.attributes.text))
                if (std::find(check.badFormats.begin(), check.badFormats.end(), placeholder) == check.badFormats.end())
                    check.badFormats.push_back(std::move(placeholder));
    }
    return check;
}

std::optional<DateTime> dateFromField(std::string_view value)
{
    while (!value.empty() && value.front() == ' ')
        value.remove_prefix(1);
    while (!value.empty() && value.back() == ' ')
        value.remove_suffix(1);
    if (value.empty())
        return std::nullopt;
    std::string text(value);
    if (text.find_first_not_of("0123456789.") == std::string::npos && text.find_first_of("0123456789") != std::string::npos) {
        // A spreadsheet serial date.
        text = serialDateText(std::strtod(text.c_str(), nullptr), false, true);
        if (text.empty())
            return std::nullopt;
    }
    const DateTime date = readDateTime(text);
    // Unreadable text reads as the reader's default date, which no real field means.
    if (date == DateTime{} && text.rfind("100", 0) != 0 && text.rfind("0100", 0) != 0)
        return std::nullopt;
    return date;
}

RecordMerge::RecordMerge(const DataTable& table, bool countersOnly) : m_table(table), m_countersOnly(countersOnly)
{
    // The first column of a name wins, as for columnIndex.
    for (int column = 0; column < table.columnCount(); ++column)
        m_columns.emplace(table.columns()[static_cast<std::size_t>(column)], column);
}

void RecordMerge::setRecord(int row, int number)
{
    m_row = row;
    m_number = number;
    m_numberText = std::to_string(number);
    m_formattedTexts.clear();
}

void RecordMerge::setCounterValues(CounterValues values)
{
    m_counters = std::move(values);
    m_counterTexts.clear();
    m_formattedTexts.clear();
}

std::string_view RecordMerge::counterText(std::string_view placeholder) const
{
    const std::string key(placeholder);
    if (const auto found = m_counterTexts.find(key); found != m_counterTexts.end())
        return found->second;
    std::string text;
    if (const auto field = counterField(placeholder))
        for (const auto& [name, value] : m_counters)
            if (name == field->name)
                text = formatCounterValue(value, field->width);
    return m_counterTexts.emplace(key, std::move(text)).first->second;
}

std::string_view RecordMerge::lookup(std::string_view placeholder)
{
    const auto [name, format] = splitPlaceholder(placeholder);
    if (format.empty())
        return rawValue(placeholder);
    const std::string key(placeholder);
    if (const auto found = m_formattedTexts.find(key); found != m_formattedTexts.end())
        return found->second;
    FormatResult result = formatValue(rawValue(name), trimBlanks(format));
    if (!result.ok)
        warn("“${" + key + "}”：" + result.reason);
    return m_formattedTexts.emplace(key, std::move(result.text)).first->second;
}

std::string_view RecordMerge::rawValue(std::string_view name) const
{
    if (name == kRecordNumberField)
        return m_numberText;
    if (name.substr(0, kCounterFieldPrefix.size()) == kCounterFieldPrefix)
        return counterText(name);
    const auto found = m_columns.find(std::string(name));
    if (found == m_columns.end() || m_row < 0 || m_row >= m_table.recordCount())
        return {};
    return m_table.value(m_row, found->second);
}

void RecordMerge::warn(const std::string& what)
{
    ++m_warningCount;
    if (m_warnings.size() < kMaxWarnings)
        m_warnings.push_back("第 " + std::to_string(m_row + 1) + " 条记录：" + what);
}

const std::string* RecordMerge::pictureBytes(const std::string& path)
{
    if (const auto found = m_pictures.find(path); found != m_pictures.end())
        return &found->second;
    std::string bytes = readRegularFile(path, kMaxPictureBytes).value_or(std::string());
    if (!isPrintablePicture(bytes))
        bytes.clear();
    if (m_pictureBytes + bytes.size() > kPictureCacheBytes) {
        m_pictures.clear();
        m_pictureBytes = 0;
    }
    m_pictureBytes += bytes.size();
    return &m_pictures.emplace(path, std::move(bytes)).first->second;
}

RecordMerge::Change RecordMerge::changeOf(const Box& box) const
{
    if (!box.inUse || !box.isPrint)
        return Change::None;
    const bool placeholders = takesPlaceholders(box.type) && hasPlaceholders(box.attributes.text);
    if (m_countersOnly)
        return placeholders ? Change::Text : Change::None;
    if (!box.dataField.empty())
        return Change::Field;
    return placeholders ? Change::Text : Change::None;
}

void RecordMerge::substituteText(const Box& box, std::string& out)
{
    out.clear();
    if (m_countersOnly) {
        // Without data the counters and the record number are filled in and
        // every column prints as nothing, never as its placeholder.
        substituteFields(box.attributes.text, [this](std::string_view placeholder) -> std::string_view {
            const std::string_view name = splitPlaceholder(placeholder).name;
            if (name == kRecordNumberField || name.substr(0, kCounterFieldPrefix.size()) == kCounterFieldPrefix)
                return lookup(placeholder);
            return {};
        }, out);
        return;
    }
    substituteFields(box.attributes.text, [this](std::string_view name) { return lookup(name); }, out);
}

std::string_view RecordMerge::printedText(const Box& box, bool& printed)
{
    switch (changeOf(box)) {
    case Change::None:
        printed = box.isPrint;
        return box.attributes.text;
    case Change::Text:
        printed = true;
        substituteText(box, m_textScratch);
        return m_textScratch;
    case Change::Field:
        break;
    }
    if (box.type != BoxType::DatePicker && box.type != BoxType::PicBox) {
        printed = true;
        return rawValue(box.dataField);
    }
    const Box& whole = merged(box);
    printed = whole.isPrint;
    return whole.attributes.text;
}

const Box& RecordMerge::merged(const Box& box)
{
    const Change change = changeOf(box);
    if (change == Change::None)
        return box;
    m_scratch = box;
    if (change == Change::Field) {
        const std::string_view value = rawValue(box.dataField);
        switch (box.type) {
        case BoxType::DatePicker:
            if (const auto date = dateFromField(value)) {
                m_scratch.attributes.dateTime = *date;
            } else {
                if (!value.empty())
                    warn("“" + box.dataField + "”列的“" + std::string(value) + "”不是日期");
                m_scratch.isPrint = false;
            }
            break;
        case BoxType::PicBox: {
            if (value.empty()) {
                m_scratch.isPrint = false;
                break;
            }
            namespace fs = std::filesystem;
            const fs::path name = pathOfName(std::string(value));
            const std::string path = (name.is_absolute() || m_table.folder.empty() ? name : pathOfName(m_table.folder) / name).string();
            const std::string* bytes = pictureBytes(path);
            if (bytes->empty()) {
                warn("图片文件“" + path + "”不存在或不是 BMP、JPEG、GIF 图片");
                m_scratch.isPrint = false;
            } else {
                m_scratch.attributes.picture = *bytes;
            }
            break;
        }
        default: m_scratch.attributes.text.assign(value); break;
        }
        return m_scratch;
    }
    substituteText(box, m_textScratch);
    m_scratch.attributes.text.swap(m_textScratch);
    return m_scratch;
}

} // namespace ordavel
