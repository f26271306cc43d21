// Merges an arbitrary box text with arbitrary column values: placeholders,
// formats, counters and record numbers in any mix, then splits what prints
// into cells as a cell box would. Input: text \1 value of "a" \1 value of
// "b" \1 one byte of cells (with ¥ when odd).
#include "data/data_table.h"
#include "data/merge.h"
#include "model/document.h"
#include "print/cell_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string_view> parts(std::string_view input)
{
    std::vector<std::string_view> out;
    while (out.size() < 3) {
        const std::size_t cut = input.find('\1');
        if (cut == std::string_view::npos)
            break;
        out.push_back(input.substr(0, cut));
        input.remove_prefix(cut + 1);
    }
    out.push_back(input);
    while (out.size() < 4)
        out.emplace_back();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto input = parts({reinterpret_cast<const char*>(data), size});
    ordavel::DataTable table({"a", "b"});
    table.appendCell(input[1]);
    table.appendCell(input[2]);
    table.endRecord();

    ordavel::Document doc;
    const int index = doc.addBox(ordavel::BoxType::EditBox, 0, 0);
    ordavel::Box& box = doc.box(index);
    box.attributes.text = std::string(input[0]);
    const unsigned cellByte = input[3].empty() ? 0u : static_cast<unsigned char>(input[3][0]);
    box.attributes.cellCount = static_cast<int>(cellByte / 2 % 65);
    box.attributes.yenBeforeFirst = cellByte % 2 == 1;

    ordavel::RecordMerge merge(table);
    merge.setCounterValues({{"n", 7}, {"m", -3}});
    merge.setRecord(0, 1);
    const std::string whole = merge.merged(box).attributes.text;
    bool printed = false;
    const std::string_view text = merge.printedText(box, printed);
    if (printed && text != whole)
        std::abort(); // the two ways of asking what prints agree
    if (box.attributes.cellCount > 0) {
        const auto cells = ordavel::cellCharacters(text, box.attributes.cellCount, box.attributes.yenBeforeFirst);
        if (cells && static_cast<int>(cells->size()) != box.attributes.cellCount)
            std::abort(); // a cell each, the empty ones too
    }
    return 0;
}
