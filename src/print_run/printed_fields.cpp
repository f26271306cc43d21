#include "print_run/printed_fields.h"

#include "print/box_render.h"

namespace ordavel {

namespace {

bool isTextBox(BoxType type)
{
    return type == BoxType::EditBox || type == BoxType::Label || type == BoxType::ComboBox
        || type == BoxType::BarcodeBox;
}

} // namespace

PrintedFieldBoxes::PrintedFieldBoxes(const Document& doc) : m_doc(&doc)
{
    for (int slot = 1; slot <= doc.slotCount(); ++slot)
        if (const Box& box = doc.box(slot);
            box.inUse && box.isPrint && (isTextBox(box.type) || box.type == BoxType::DatePicker || !box.dataField.empty()))
            m_boxes.emplace_back(slot, "box " + std::to_string(slot));
}

void PrintedFieldBoxes::into(RecordMerge& merge, JournalValues& fields) const
{
    std::size_t count = 0;
    for (const auto& [slot, name] : m_boxes) {
        const Box& box = m_doc->box(slot);
        if (box.type == BoxType::DatePicker) {
            const Box& merged = merge.merged(box);
            if (!merged.isPrint)
                continue;
            if (count == fields.size())
                fields.emplace_back();
            fields[count].name = name;
            fields[count++].value = formatDate(merged.attributes.dateTime, box.dateFormat);
            continue;
        }
        bool printed = false;
        const std::string_view text = merge.printedText(box, printed);
        if (!printed)
            continue;
        if (count == fields.size())
            fields.emplace_back();
        JournalValue& field = fields[count++];
        field.name = name;
        if (isTextBox(box.type))
            field.value.assign(text);
        else
            field.value = box.dataField;
    }
    fields.resize(count);
}

JournalValues PrintedFieldBoxes::of(RecordMerge& merge) const
{
    JournalValues fields;
    into(merge, fields);
    return fields;
}

JournalValues printedFields(const Document& doc, RecordMerge& merge) { return PrintedFieldBoxes(doc).of(merge); }

} // namespace ordavel
