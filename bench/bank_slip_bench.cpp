// A batch of 1,000 bank slips into one PDF through the merge and the print
// path: three amounts in formats (capitals, grouped, words), a cheque date
// and an 11-cell amount, next to the same slip with plain placeholders and
// no cells, and next to plain placeholders whose data already holds the
// formatted texts, drawn in the same cells: the last pair prints the same
// pages, so it shows what formatting itself costs. Each runs five times after
// a warm-up page; compare the medians.
#include "batch_pdf.h"
#include "data/merge.h"
#include "field_format/field_format.h"
#include "platform/allocator_tuning.h"
#include "print/print_job.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

using namespace ordavel;

enum class Slip { Plain, Formatted, Preformatted };

Document slip(Slip kind)
{
    const bool formatted = kind == Slip::Formatted;
    const bool cells = kind != Slip::Plain;
    Document doc;
    doc.setPageSizes(21.0, 9.3, 794, 352);
    const struct {
        const char* plain;
        const char* withFormat;
        double top;
        int cells;
    } texts[] = {{"${金额}", "${金额|人民币大写}", 1.0, 0},   {"${手续费}", "${手续费|金额}", 2.0, 0},
                 {"${邮费}", "${邮费|words}", 3.0, 0},         {"${日期}", "${日期|票据日期}", 4.0, 0},
                 {"${金额}", "${金额|金额:2}", 5.0, 11},       {"${收款人}", "${收款人}", 6.0, 0}};
    for (const auto& text : texts) {
        const int index = doc.addBox(BoxType::EditBox, 0, 0);
        Box& box = doc.box(index);
        box.followsEdit = false;
        box.printRect = {2.0, text.top, 11.0, 0.8};
        box.attributes.text = formatted ? text.withFormat : text.plain;
        if (kind == Slip::Preformatted && text.cells > 0)
            box.attributes.text = "${金额:2}";
        box.attributes.cellCount = cells ? text.cells : 0;
        box.attributes.yenBeforeFirst = cells && text.cells > 0;
    }
    return doc;
}

// The slips' data with each column as the formatted slip prints it.
DataTable preformatted(const DataTable& data)
{
    DataTable table({"金额", "手续费", "邮费", "日期", "收款人", "金额:2"});
    const char* const formats[] = {"人民币大写", "金额", "words", "票据日期", "", "金额:2"};
    for (int row = 0; row < data.recordCount(); ++row) {
        for (int column = 0; column < 6; ++column)
            table.appendCell(formatValue(data.value(row, column == 5 ? 0 : column), formats[column]).text);
        table.endRecord();
    }
    return table;
}

DataTable slips(int count)
{
    DataTable table({"金额", "手续费", "邮费", "日期", "收款人"});
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        for (const std::string& value :
             {std::to_string(1000 + i * 37) + "." + std::to_string(10 + i % 90), std::to_string(i % 50) + ".5",
              std::to_string(i % 900) + ".07", "2026-" + std::to_string(1 + i % 12) + "-" + std::to_string(1 + i % 28),
              "北京某某贸易有限公司" + n})
            table.appendCell(value);
        table.endRecord();
    }
    return table;
}

void batchToPdf(const Document& doc, const DataTable& table) { bench::batchToPdf(doc, table, "ordavel-bench-slips.pdf"); }

void BM_SlipsFormatted(benchmark::State& state)
{
    const Document doc = slip(Slip::Formatted);
    const DataTable table = slips(static_cast<int>(state.range(0)));
    for (auto _ : state)
        batchToPdf(doc, table);
}
void BM_SlipsPlain(benchmark::State& state)
{
    const Document doc = slip(Slip::Plain);
    const DataTable table = slips(static_cast<int>(state.range(0)));
    for (auto _ : state)
        batchToPdf(doc, table);
}
void BM_SlipsPreformatted(benchmark::State& state)
{
    const Document doc = slip(Slip::Preformatted);
    const DataTable table = preformatted(slips(static_cast<int>(state.range(0))));
    for (auto _ : state)
        batchToPdf(doc, table);
}
// Interleaved, so that a noisy moment of the machine falls on both.
void fiveRuns(benchmark::internal::Benchmark* bench)
{
    bench->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
}
BENCHMARK(BM_SlipsPlain)->Apply(fiveRuns);
BENCHMARK(BM_SlipsPreformatted)->Apply(fiveRuns);
BENCHMARK(BM_SlipsFormatted)->Apply(fiveRuns);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The tool and the designer print with this setting, so the batches here do too.
    keepFreedMemoryForReuse();
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // One page each first: font files are opened once per process.
    batchToPdf(slip(Slip::Formatted), slips(1));
    batchToPdf(slip(Slip::Plain), slips(1));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
