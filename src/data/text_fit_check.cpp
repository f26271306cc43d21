#include "data/text_fit_check.h"

#include "data/merge.h"
#include "print/text_fit.h"

namespace ordavel {

namespace {

// The printing text boxes that shrink to fit, by slot.
std::vector<int> shrinkingBoxes(const Document& doc)
{
    std::vector<int> slots;
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const Box& b = doc.box(index);
        if (b.inUse && b.isPrint && (b.type == BoxType::EditBox || b.type == BoxType::Label)
            && b.attributes.shrinkToFit > 0 && b.attributes.cellCount == 0)
            slots.push_back(index);
    }
    return slots;
}

// Why the text does not fit the box even at its smallest size; empty when it fits.
std::string misfit(const Box& box, std::string_view text, Surface& measure)
{
    const BoxAttributes& a = box.attributes;
    const TextFit fit = shrinkToFit(measure, text, a.font, a.shrinkToFit, printUnits(box.printRect.width),
                                    printUnits(box.printRect.height), wrapsText(box));
    if (fit.fits)
        return {};
    return "“" + std::string(text) + "”缩到 " + std::to_string(static_cast<int>(fit.size)) + " 磅仍放不下";
}

} // namespace

std::vector<FormatProblem> checkTextFit(const Document& doc, const DataTable& table, const std::vector<int>& rows,
                                        Surface& measure, std::size_t limit)
{
    std::vector<FormatProblem> problems;
    const std::vector<int> slots = shrinkingBoxes(doc);
    if (slots.empty())
        return problems;
    RecordMerge merge(table);
    for (const int row : rows) {
        if (row < 0 || row >= table.recordCount())
            continue;
        merge.setRecord(row, row + 1);
        for (const int slot : slots) {
            bool printed = false;
            const std::string_view text = merge.printedText(doc.box(slot), printed);
            if (!printed)
                continue;
            std::string reason = misfit(doc.box(slot), text, measure);
            if (reason.empty())
                continue;
            problems.push_back({row, slot, {}, std::move(reason)});
            if (problems.size() >= limit)
                return problems;
        }
    }
    return problems;
}

std::vector<FormatProblem> checkTemplateTextFit(const Document& doc, Surface& measure)
{
    std::vector<FormatProblem> problems;
    for (const int slot : shrinkingBoxes(doc)) {
        std::string reason = misfit(doc.box(slot), doc.box(slot).attributes.text, measure);
        if (!reason.empty())
            problems.push_back({-1, slot, {}, std::move(reason)});
    }
    return problems;
}

} // namespace ordavel
