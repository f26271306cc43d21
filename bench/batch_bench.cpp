// A batch of N records of the sample waybill (its eight texts as fields) into
// one N-page PDF through the merge and the print path, next to a plain
// QPainter program writing the same N pages of the same texts: the eight
// fields, the date and the two tick labels, in their fonts and colours. Each
// runs three times after a warm-up page, so that loading the fonts once is
// charged to neither; compare the medians. The peak RSS counter shows that
// pages are streamed, not held.
#include "batch_pdf.h"
#include "data/merge.h"
#include "file/template_reader.h"
#include "platform/allocator_tuning.h"
#include "platform/font_resolver.h"
#include "platform/painter_surface.h"
#include "platform/printer.h"
#include "print/box_render.h"
#include "print/print_job.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

using namespace ordavel;

const char* const kColumns[] = {"寄件人", "收件人", "寄件电话", "收件电话", "寄件地址", "收件地址", "物品", "数量"};

QString outputPath(const char* name) { return QDir::temp().filePath(QString::fromLatin1(name)); }

class Quiet : public MessageSink {
public:
    MessageAnswer show(const Message&) override { return MessageAnswer::Ok; }
};

// The sample waybill with boxes 1 to 8 reading ${column}.
Document waybill()
{
    Document doc;
    Quiet quiet;
    loadDocument(doc, ORDAVEL_SOURCE_DIR "/samples/waybill.oxf", quiet);
    doc.page().isPrintBgPic = false;
    for (int index = 1; index <= 8 && index <= doc.slotCount(); ++index)
        doc.box(index).attributes.text = std::string("${") + kColumns[index - 1] + "}";
    return doc;
}

DataTable records(int count)
{
    DataTable table(std::vector<std::string>(std::begin(kColumns), std::end(kColumns)));
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

double peakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Both sides run 1,000 and 10,000 records, three times each: compare medians.
void thousandAndTenThousandRecords(benchmark::internal::Benchmark* bench)
{
    bench->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);
}

void batchToPdf(const Document& doc, const DataTable& table) { bench::batchToPdf(doc, table, "ordavel-bench-batch.pdf"); }

void BM_BatchToPdf(benchmark::State& state)
{
    const Document doc = waybill();
    const DataTable table = records(static_cast<int>(state.range(0)));
    for (auto _ : state)
        batchToPdf(doc, table);
    state.counters["peak_rss_MB"] = peakRssMb();
}
BENCHMARK(BM_BatchToPdf)->Apply(thousandAndTenThousandRecords);
BENCHMARK(BM_BatchToPdf)->Name("BM_BatchToPdf_Streaming")->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The text a box of the waybill prints besides the fields, in the plain
// program's terms.
std::string staticText(const Box& box)
{
    if (box.type == BoxType::DatePicker)
        return formatDate(box.attributes.dateTime, box.dateFormat);
    return box.attributes.text;
}

QColor qtColor(Color bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

void plainPages(const Document& doc, const DataTable& table)
{
    QPdfWriter writer(outputPath("ordavel-bench-plain-batch.pdf"));
    writer.setResolution(1200);
    writer.setPageSize(QPageSize(QSizeF(230, 127), QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    const double pxPerCm = 1200 / 2.54;
    for (int row = 0; row < table.recordCount(); ++row) {
        if (row > 0)
            writer.newPage();
        for (int index = 1; index <= doc.slotCount(); ++index) {
            const Box& box = doc.box(index);
            if (box.type == BoxType::None || !box.isPrint)
                continue;
            painter.setFont(qtFont(box.attributes.font));
            painter.setPen(qtColor(box.attributes.textColor));
            const std::string value = index <= 8 ? std::string(table.value(row, index - 1)) : staticText(box);
            painter.drawText(QPointF(box.printRect.left * pxPerCm, box.printRect.top * pxPerCm),
                             QString::fromStdString(value));
        }
    }
}

void BM_PlainQPainterPages(benchmark::State& state)
{
    const Document doc = waybill();
    const DataTable table = records(static_cast<int>(state.range(0)));
    for (auto _ : state)
        plainPages(doc, table);
}
BENCHMARK(BM_PlainQPainterPages)->Apply(thousandAndTenThousandRecords);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The tool and the designer run with this setting; the plain program
    // shares the process, so it gets it too.
    keepFreedMemoryForReuse();
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // One page through each path first: font files are opened once per process.
    const Document doc = waybill();
    const DataTable one = records(1);
    batchToPdf(doc, one);
    plainPages(doc, one);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
