#include "data/format_check.h"

#include "data/field_text.h"
#include "data/merge.h"
#include "field_format/field_format.h"
#include "print/cell_text.h"

#include <algorithm>

namespace ordavel {

namespace {

struct FormattedUse {
    int slot = 0;
    std::string placeholder;
    std::string column; // empty for ${#} and counters
    std::string format;
};

// Every formatted placeholder of a printing text box, with its column.
std::vector<FormattedUse> formattedUses(const Document& doc)
{
    std::vector<FormattedUse> uses;
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const Box& b = doc.box(index);
        if (!b.inUse || !b.isPrint || !takesPlaceholders(b.type) || b.attributes.text.find('|') == std::string::npos)
            continue;
        std::string ignored;
        substituteFields(b.attributes.text, [&](std::string_view placeholder) -> std::string_view {
            const auto [name, format] = splitPlaceholder(placeholder);
            if (!format.empty()) {
                const bool column = name != kRecordNumberField && !counterField(name);
                uses.push_back({index, std::string(placeholder), column ? std::string(name) : std::string(),
                                std::string(trimBlanks(format))});
            }
            return {};
        }, ignored);
    }
    return uses;
}

} // namespace

std::string FormatProblem::message() const
{
    if (placeholder.empty())
        return "第 " + std::to_string(row + 1) + " 条记录，第 " + std::to_string(slot) + " 个框：" + reason;
    return "第 " + std::to_string(row + 1) + " 条记录，第 " + std::to_string(slot) + " 个框的“${" + placeholder
        + "}”：" + reason;
}

std::vector<FormatProblem> checkFieldFormats(const Document& doc, const DataTable& table,
                                             const std::vector<int>& rows, std::size_t limit)
{
    std::vector<FormatProblem> problems;
    const std::vector<FormattedUse> uses = formattedUses(doc);
    std::vector<int> cellBoxes;
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const Box& b = doc.box(index);
        if (b.inUse && b.isPrint && (b.type == BoxType::EditBox || b.type == BoxType::Label) && b.attributes.cellCount > 0)
            cellBoxes.push_back(index);
    }
    if (uses.empty() && cellBoxes.empty())
        return problems;
    RecordMerge merge(table);
    std::vector<int> columns;
    for (const FormattedUse& use : uses)
        columns.push_back(use.column.empty() ? -1 : table.columnIndex(use.column));
    for (const int row : rows) {
        if (row < 0 || row >= table.recordCount())
            continue;
        const std::string number = std::to_string(row + 1);
        for (std::size_t u = 0; u < uses.size(); ++u) {
            const FormattedUse& use = uses[u];
            // Counters are numbered as they print; only their format can fail, and that is checked by name.
            if (use.column.empty() && use.placeholder.rfind(kCounterFieldPrefix, 0) == 0) {
                if (knownFormat(use.format))
                    continue;
            }
            const std::string_view value = use.column.empty() ? std::string_view(number)
                : columns[u] >= 0 ? table.value(row, columns[u]) : std::string_view();
            const FormatResult result = formatValue(value, use.format);
            if (!result.ok) {
                problems.push_back({row, use.slot, use.placeholder, result.reason});
                if (problems.size() >= limit)
                    return problems;
            }
        }
        merge.setRecord(row, row + 1);
        for (const int slot : cellBoxes) {
            const BoxAttributes& a = doc.box(slot).attributes;
            bool printed = false;
            const std::string_view text = merge.printedText(doc.box(slot), printed);
            if (!cellCharacters(text, a.cellCount, a.yenBeforeFirst)) {
                problems.push_back({row, slot, {},
                                    "“" + std::string(text) + "”放不进 " + std::to_string(a.cellCount) + " 个格子"});
                if (problems.size() >= limit)
                    return problems;
            }
        }
    }
    return problems;
}

} // namespace ordavel
