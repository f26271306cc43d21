// Rendering a page of 1,000 text boxes to PDF through the print path, next to
// a plain QPainter program that writes the same 1,000 texts to a PDF; and a
// page of 10,000 boxes (framed texts) timed against a plain program in the
// same run, as a ratio.
#include "model/document.h"
#include "platform/font_resolver.h"
#include "platform/printer.h"

#include <QDir>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <benchmark/benchmark.h>

#include <ctime>

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

// 5,000 Chinese texts, each in a rectangle of its own drawn just before it,
// 50 across and 100 down a 60 x 28 cm page.
constexpr int kCells = 5000;
constexpr int kColumns = 50;
constexpr double kCellWidthCm = 1.2;
constexpr double kCellHeightCm = 0.27;
const ordavel::FontSpec kCellFont{"宋体", 5};

ordavel::Document tenThousandBoxes()
{
    ordavel::Document doc;
    doc.page().pageWidth = 60.0f;
    doc.page().pageHeight = 28.0f;
    static const char* const kWords[] = {"收件人", "寄件人", "北京市", "电话", "地址", "金额"};
    for (int i = 0; i < kCells; ++i) {
        const ordavel::PrintRect cell{0.5 + (i % kColumns) * kCellWidthCm, 0.5 + (i / kColumns) * kCellHeightCm,
                                      kCellWidthCm - 0.05, kCellHeightCm - 0.02};
        ordavel::Box& frame = doc.box(doc.addBox(ordavel::BoxType::ShapeBox, 0, 0));
        frame.printRect = cell;
        frame.attributes.shape = ordavel::ShapeRectangle;
        ordavel::Box& text = doc.box(doc.addBox(ordavel::BoxType::EditBox, 0, 0));
        text.printRect = cell;
        text.attributes.text = kWords[i % 6] + std::to_string(i);
        text.attributes.font = kCellFont;
    }
    return doc;
}

// What a plain program does for the same page: one font, one pen for the
// frames and one for the texts, the same device positions (0.1 mm truncated
// on a 1200 dpi page) and the same texts.
void plainTenThousand(const ordavel::Document& doc)
{
    QPdfWriter writer(outputPath("ordavel-bench-plain-10k.pdf"));
    writer.setResolution(1200);
    writer.setPageSize(QPageSize(QSizeF(600, 280), QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&writer);
    const double pxPerUnit = 1200 / 254.0;
    const QFont font = ordavel::qtFont(kCellFont);
    painter.setFont(font);
    const double ascent = QFontMetricsF(font, &writer).ascent();
    QPen framePen(Qt::black, pxPerUnit, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    const QPen textPen(Qt::black);
    painter.setBrush(Qt::white);
    const auto units = [](double cm) { return static_cast<int>(cm * 100.0); };
    for (int index = 1; index <= doc.slotCount(); ++index) {
        const ordavel::Box& box = doc.box(index);
        const ordavel::PrintRect& r = box.printRect;
        const double x = units(r.left) * pxPerUnit;
        const double y = units(r.top) * pxPerUnit;
        if (box.type == ordavel::BoxType::ShapeBox) {
            painter.setPen(framePen);
            painter.drawRect(QRectF(QPointF(x, y), QPointF((units(r.left) + units(r.width)) * pxPerUnit,
                                                           (units(r.top) + units(r.height)) * pxPerUnit)));
        } else {
            painter.setPen(textPen);
            painter.drawText(QPointF(x, y + ascent), QString::fromStdString(box.attributes.text));
        }
    }
}

void printTenThousand(const ordavel::Document& doc)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(outputPath("ordavel-bench-print-10k.pdf"));
    if (!ordavel::printDocument(doc, printer, nullptr))
        std::abort();
}

// The processor time this thread has used: other programs on a busy
// machine stretch the wall clock, not this.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Each iteration draws the page both ways, in turn first, so that the load
// of the machine falls on both alike; `ratio` is the print path's processor
// time over the plain program's, which is what is compared between versions.
void BM_TenThousandBoxesRatio(benchmark::State& state)
{
    const ordavel::Document doc = tenThousandBoxes();
    printTenThousand(doc);
    plainTenThousand(doc);
    double printMs = 0;
    double plainMs = 0;
    bool printFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool print = (turn == 0) == printFirst;
            const double began = threadCpuMs();
            if (print)
                printTenThousand(doc);
            else
                plainTenThousand(doc);
            (print ? printMs : plainMs) += threadCpuMs() - began;
        }
        printFirst = !printFirst;
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["print_ms"] = benchmark::Counter(printMs / iterations);
    state.counters["plain_ms"] = benchmark::Counter(plainMs / iterations);
    state.counters["ratio"] = benchmark::Counter(printMs / plainMs);
}
BENCHMARK(BM_TenThousandBoxesRatio)->Unit(benchmark::kMillisecond)->Iterations(6)->Repetitions(5);

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
