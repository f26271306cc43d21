// A batch of N records of the sample waybill (its eight texts as fields) into
// one N-page PDF through the merge and the print path, next to a plain
// QPainter program writing the same N pages of the same texts: the eight
// fields, the date and the two tick labels, in their fonts and colours. Each
// runs three times after a warm-up page, so that loading the fonts once is
// charged to neither; compare the medians. The peak RSS counter shows that
// pages are streamed, not held.
#include "batch_pdf.h"
#include "bench_waybill.h"
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

using bench::waybillRecords;

QString outputPath(const char* name) { return QDir::temp().filePath(QString::fromLatin1(name)); }

// The sample waybill with boxes 1 to 8 reading ${column}.
Document waybill() { return bench::waybill(false); }

DataTable records(int count) { return waybillRecords(count); }

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
