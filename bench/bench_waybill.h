#pragma once
// The sample waybill with its boxes reading data columns, and records of
// made-up waybill values: what the journal and shop benchmarks print.

#include "data/data_table.h"
#include "file/template_reader.h"
#include "data/record_list.h"
#include "print/print_job.h"

#include <iterator>
#include <string>
#include <vector>

namespace ordavel::bench {

inline const char* const kWaybillColumns[] = {"寄件人", "收件人", "寄件电话", "收件电话",
                                              "寄件地址", "收件地址", "物品", "数量"};

class QuietSink : public MessageSink {
public:
    MessageAnswer show(const Message&) override { return MessageAnswer::Ok; }
};

// The sample waybill with boxes 1 to 8 reading ${column}; box 8 also prints a counter.
inline Document waybill()
{
    Document doc;
    QuietSink quiet;
    loadDocument(doc, ORDAVEL_SOURCE_DIR "/samples/waybill.oxf", quiet);
    doc.page().isPrintBgPic = false;
    for (int index = 1; index <= 8 && index <= doc.slotCount(); ++index)
        doc.box(index).attributes.text = std::string("${") + kWaybillColumns[index - 1] + "}";
    doc.box(8).attributes.text += " No.${#seq:bench:000000}";
    return doc;
}

inline DataTable waybillRecords(int count)
{
    DataTable table(std::vector<std::string>(std::begin(kWaybillColumns), std::end(kWaybillColumns)));
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        for (const std::string& value : {"张三" + n, "李四" + n, "010-5555 " + n, "021-5555 " + n,
                                         "北京市海淀区中关村大街" + n + "号", "上海市浦东新区世纪大道" + n + "号",
                                         "图书" + n, std::to_string(i % 5 + 1)})
            table.appendCell(value);
        table.endRecord();
    }
    return table;
}

inline std::vector<BatchItem> itemsOf(const DataTable& table)
{
    std::vector<BatchItem> items;
    for (int row = 0; row < table.recordCount(); ++row)
        items.push_back({row, row + 1, 1});
    return items;
}

} // namespace ordavel::bench
