#pragma once
// The sample waybill with its boxes reading data columns, and records of
// made-up waybill values: what the journal and shop benchmarks print.

#include "data/data_table.h"
#include "file/template_reader.h"
#include "journal/journal.h"
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

// The sample waybill with boxes 1 to 8 reading ${column}; with
// `serialNumber`, box 8 also prints a counter.
inline Document waybill(bool serialNumber = true)
{
    Document doc;
    QuietSink quiet;
    loadDocument(doc, ORDAVEL_SOURCE_DIR "/samples/waybill.oxf", quiet);
    doc.page().isPrintBgPic = false;
    for (int index = 1; index <= 8 && index <= doc.slotCount(); ++index)
        doc.box(index).attributes.text = std::string("${") + kWaybillColumns[index - 1] + "}";
    if (serialNumber)
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

// Job `j` (from 0) of a journal of 1,000,000 records: 1,000 printed records
// of waybill values, record r holding the order number ORD-(1000 j + r).
inline JournalJobIn millionRecordsJob(int j)
{
    JournalJobIn job;
    job.program = "tool";
    job.kind = JournalKind::Batch;
    job.printer = "office";
    job.templateName = "waybill.oxf";
    job.templateBytes = "<waybill/>";
    job.startPrinting = true;
    for (int r = 0; r < 1000; ++r) {
        const std::string n = std::to_string(j * 1000 + r);
        JournalRecordIn record;
        record.number = r + 1;
        record.fields = {{"box 1", "张三" + n}, {"box 2", "李四" + n}, {"box 3", "010-5555 " + n},
                         {"box 5", "北京市海淀区中关村大街" + n + "号"}, {"box 7", "ORD-" + n}};
        record.columns = {{"收件人", "李四" + n}, {"单号", "ORD-" + n}};
        job.records.push_back(std::move(record));
    }
    return job;
}

} // namespace ordavel::bench
