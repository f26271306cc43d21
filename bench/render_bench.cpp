// Rendering a page of 1,000 text boxes to PDF through the print path, next to
// a plain QPainter program that writes the same 1,000 texts to a PDF.
#include "model/document.h"
#include "platform/font_resolver.h"
#include "platform/printer.h"

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <benchmark/benchmark.h>

namespace {

constexpr int kBoxes = 1000;

QString outputPath(const char* name) { return QDir::temp().filePath(QString::fromLatin1(name)); }

ordavel::Document thousandBoxes()
{
    ordavel::Document doc;
    for (int i = 0; i < kBoxes; ++i) {
        const int index = doc.addBox(ordavel::BoxType::EditBox, 0, 0);
        ordavel::Box& box = doc.box(index);
        box.printRect = {1.0 + (i % 10) * 1.9, 1.0 + (i / 10) * 0.27, 1.8, 0.25};
        box.attributes.text = "收件人" + std::to_string(i);
        box.attributes.font = ordavel::FontSpec{"宋体", 6};
    }
    return doc;
}

void BM_PrintPathToPdf(benchmark::State& state)
{
    const ordavel::Document doc = thousandBoxes();
    for (auto _ : state) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(outputPath("ordavel-bench-print.pdf"));
        benchmark::DoNotOptimize(ordavel::printDocument(doc, printer, nullptr));
    }
}
BENCHMARK(BM_PrintPathToPdf)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_PlainQPainterToPdf(benchmark::State& state)
{
    const ordavel::Document doc = thousandBoxes();
    for (auto _ : state) {
        QPdfWriter writer(outputPath("ordavel-bench-plain.pdf"));
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(QSizeF(210, 290), QPageSize::Millimeter));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter(&writer);
        painter.setFont(ordavel::qtFont(ordavel::FontSpec{"宋体", 6}));
        const double pxPerCm = 1200 / 2.54;
        for (int index = 1; index <= doc.slotCount(); ++index) {
            const ordavel::Box& box = doc.box(index);
            painter.drawText(QPointF(box.printRect.left * pxPerCm, box.printRect.top * pxPerCm),
                             QString::fromStdString(box.attributes.text));
        }
    }
}
BENCHMARK(BM_PlainQPainterToPdf)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
