// Several forms to a sheet and the print journal: a batch records the sheet
// and cell each record went into, and a reprint of chosen records puts each
// back into its cell (or packs them from cell 1), read back from the PDF
// with pdftotext -bbox.
#include "data/data_table.h"
#include "journal/journal.h"
#include "platform/form_page_device.h"
#include "platform/print_journal.h"
#include "print/job_paper.h"
#include "print_run/file_spooler.h"
#include "print_run/print_run.h"
#include "support/run_command.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <tuple>

namespace ordavel {
namespace {

using test::runCommand;
using test::shellQuoted;

// Where a form's box lands: the sheet (page, from 1) and the cell (from 1).
using Place = std::pair<int, int>;

class SheetJournal : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        Journal::Opened opened = Journal::open(path("journal.sqlite"));
        ASSERT_TRUE(opened.journal) << opened.error;
        journal = std::shared_ptr<Journal>(std::move(opened.journal));
        // A 10 x 9 cm form two across and three down on A4; its one label at (1, 1) cm.
        doc.setPageSizes(10.0, 9.0, 378, 340);
        doc.page().sheet = SheetLayout{21.0, 29.7, 2, 3, 0.5, 1.0, 10.0, 9.5};
        const int index = doc.addBox(BoxType::Label, 0, 0, 300, 40);
        doc.box(index).followsEdit = false;
        doc.box(index).printRect = {1.0, 1.0, 8.0, 1.0};
        doc.box(index).attributes.text = "L${x}";
        doc.box(index).attributes.font = FontSpec{"DejaVu Sans", 12};
        for (int record = 1; record <= 8; ++record) {
            table.appendCell(std::to_string(record));
            table.endRecord();
        }
    }

    std::string path(const char* name) const { return folder.filePath(QString::fromUtf8(name)).toStdString(); }

    // Prints `items` of `data` to `pdf` through a print run journalled as
    // `what`; the new job's id.
    JournalJobId print(const JournalPrint& what, const DataTable& data, const std::vector<BatchItem>& items,
                       const std::string& pdf, int startCell, const std::vector<int>& cells = {},
                       const std::vector<std::vector<CounterValue>>& counters = {})
    {
        RunJournal entry(journal);
        EXPECT_TRUE(entry.begin(what, doc, &data, items, pdf, counters));
        const Calibration none;
        const auto recordOf = [](std::size_t item) { return static_cast<int>(item); };
        FormPageDevice device(doc, none, entry, data, items, recordOf, startCell);
        device.setCells(cells);
        RunPlan plan;
        plan.printer = pdf;
        plan.paper = jobPaper(doc.page());
        plan.items = items.size();
        plan.recordOf = recordOf;
        FileSpooler file(pdf);
        class EveryItem : public RunReporter {
        public:
            bool proceed(std::size_t, std::size_t) override { return true; }
        } reporter;
        PrintRun run(entry, file);
        const RunResult result = run.print(plan, device, reporter);
        EXPECT_TRUE(result.ok()) << result.error;
        run.finish();
        EXPECT_EQ(entry.takeProblem(), "");
        return entry.id();
    }

    std::vector<Place> journalPlaces(JournalJobId id) const
    {
        std::vector<Place> places;
        for (const JournalRecord& record : journal->records(id).value)
            places.emplace_back(record.sheet, record.cell);
        return places;
    }

    // Each label of `pdf` by its text: the page it is on and the cell its
    // corner is in, within 0.5 mm of the cell's box; every page A4.
    std::map<std::string, Place> labelsOn(const std::string& pdf) const
    {
        const std::string html = runCommand("pdftotext -bbox " + shellQuoted(pdf) + " -").output;
        const std::regex pattern(
            R"re(<page width="([0-9.]+)" height="([0-9.]+)"|<word xMin="([0-9.]+)" yMin="([0-9.]+)"[^>]*>([^<]*)</word>)re");
        int page = 0;
        std::map<std::string, Place> found;
        for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern); it != std::sregex_iterator(); ++it) {
            const auto& m = *it;
            if (m[1].matched) {
                ++page;
                EXPECT_NEAR(std::stod(m[1]), 210 / 25.4 * 72, 1.0);
                EXPECT_NEAR(std::stod(m[2]), 297 / 25.4 * 72, 1.0);
                continue;
            }
            const double x = std::stod(m[3]) * 2.54 / 72;
            const double y = std::stod(m[4]) * 2.54 / 72;
            // The box at (1, 1) cm of a form whose corner is (0.5 + 10 col, 1 + 9.5 row);
            // the word's box starts a little above the text box's top.
            const int column = static_cast<int>(std::lround((x - 1.5) / 10));
            const int row = static_cast<int>(std::lround((y - 2.0) / 9.5));
            EXPECT_NEAR(x, 1.5 + 10 * column, 0.05) << m[5];
            EXPECT_NEAR(y, 2.0 + 9.5 * row, 0.3) << m[5];
            found[m[5]] = {page, row * 2 + column + 1};
        }
        return found;
    }

    QTemporaryDir folder;
    std::shared_ptr<Journal> journal;
    Document doc;
    DataTable table{std::vector<std::string>{"x"}};
};

TEST_F(SheetJournal, ABatchRecordsEachRecordsSheetAndCellAndAReprintPutsRecordsBackInTheirCells)
{
    std::vector<BatchItem> items;
    for (int record = 1; record <= 8; ++record)
        items.push_back({record - 1, record, 1});
    JournalPrint batch;
    batch.program = "tool";
    batch.kind = JournalKind::Batch;
    batch.templatePath = "/forms/labels.oxf";
    batch.templateBytes = "<oxf/>";
    const std::string first = path("batch.pdf");
    const JournalJobId id = print(batch, table, items, first, 4);
    ASSERT_GT(id, 0);

    // Records 1 to 3 in cells 4 to 6 of the first sheet, 4 to 8 in cells 1 to 5 of the second.
    const std::vector<Place> expected{{1, 4}, {1, 5}, {1, 6}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 5}};
    EXPECT_EQ(journalPlaces(id), expected);
    const auto printed = labelsOn(first);
    ASSERT_EQ(printed.size(), 8u);
    for (int record = 1; record <= 8; ++record)
        EXPECT_EQ(printed.at("L" + std::to_string(record)), expected[static_cast<std::size_t>(record - 1)]) << record;

    // Records 2, 5 and 6 again: 2 into cell 5; 5's cell 2 does not come
    // after 5, so it starts the next sheet, and 6 follows in cell 3.
    const auto job = journal->job(id).value;
    ASSERT_TRUE(job.has_value());
    const auto records = journal->records(id).value;
    const JournalReprint inCells = planReprint(*journal, *job, records, {1, 4, 5}, "tool", "");
    EXPECT_EQ(inCells.cells, (std::vector<int>{5, 2, 3}));
    const std::string again = path("again.pdf");
    const JournalJobId reprint = print(inCells.print, inCells.table, inCells.items, again, 1, inCells.cells,
                                       inCells.counters);
    EXPECT_EQ(journalPlaces(reprint), (std::vector<Place>{{1, 5}, {2, 2}, {2, 3}}));
    EXPECT_EQ(labelsOn(again), (std::map<std::string, Place>{{"L2", {1, 5}}, {"L5", {2, 2}}, {"L6", {2, 3}}}));

    // Packed: cells 1 to 3 of one sheet.
    const JournalReprint packed = planReprint(*journal, *job, records, {1, 4, 5}, "tool", "", true);
    EXPECT_TRUE(packed.cells.empty());
    const std::string pack = path("packed.pdf");
    const JournalJobId packedJob = print(packed.print, packed.table, packed.items, pack, 1, packed.cells,
                                         packed.counters);
    EXPECT_EQ(journalPlaces(packedJob), (std::vector<Place>{{1, 1}, {1, 2}, {1, 3}}));
    EXPECT_EQ(labelsOn(pack), (std::map<std::string, Place>{{"L2", {1, 1}}, {"L5", {1, 2}}, {"L6", {1, 3}}}));
}

// Records journalled before sheets were (no cell) are packed; mixed with
// records that have one, each without takes the cell after the last.
TEST_F(SheetJournal, ARecordWithoutACellTakesTheNextAndACellOnTheSameSheetStaysThere)
{
    JournalJob job;
    job.id = 1;
    std::vector<JournalRecord> records(4);
    for (int i = 0; i < 4; ++i) {
        records[static_cast<std::size_t>(i)].index = i;
        records[static_cast<std::size_t>(i)].number = i + 1;
        records[static_cast<std::size_t>(i)].columns = {{"x", std::to_string(i + 1)}};
    }
    // None has a cell: packed, as with --pack.
    EXPECT_TRUE(planReprint(*journal, job, records, {0, 1, 2, 3}, "tool", "").cells.empty());

    // Cells 3, none, 6 and 1: 3; the next, 4; 6 on the same sheet; 1 on a new one.
    records[0].cell = 3;
    records[2].cell = 6;
    records[3].cell = 1;
    for (JournalRecord& record : records)
        record.sheet = record.cell > 0 ? 1 : 0;
    const JournalReprint plan = planReprint(*journal, job, records, {0, 1, 2, 3}, "tool", "");
    EXPECT_EQ(plan.cells, (std::vector<int>{3, 0, 6, 1}));
    const std::string pdf = path("mixed.pdf");
    const JournalJobId id = print(plan.print, plan.table, plan.items, pdf, 1, plan.cells, plan.counters);
    EXPECT_EQ(journalPlaces(id), (std::vector<Place>{{1, 3}, {1, 4}, {1, 6}, {2, 1}}));
    EXPECT_EQ(labelsOn(pdf),
              (std::map<std::string, Place>{{"L1", {1, 3}}, {"L2", {1, 4}}, {"L3", {1, 6}}, {"L4", {2, 1}}}));
}

// Copies of a record fill the cells after its first; the journal keeps the
// first's. A form a page is on no sheet.
TEST_F(SheetJournal, CopiesTakeTheFollowingCellsAndAFormAPageIsOnNoSheet)
{
    JournalPrint batch;
    batch.program = "tool";
    batch.kind = JournalKind::Batch;
    batch.templateBytes = "<oxf/>";
    const std::vector<BatchItem> items{{0, 1, 3}, {1, 2, 1}, {2, 3, 3}};
    const JournalJobId id = print(batch, table, items, path("copies.pdf"), 5);
    // Record 1 in cells 5, 6 and 1 of sheet 2; record 2 in 2; record 3 in 3 to 5.
    EXPECT_EQ(journalPlaces(id), (std::vector<Place>{{1, 5}, {2, 2}, {2, 3}}));

    doc.page().sheet = SheetLayout{};
    const JournalJobId plain = print(batch, table, {{0, 1, 1}, {1, 2, 1}}, path("plain.pdf"), 1);
    EXPECT_EQ(journalPlaces(plain), (std::vector<Place>{{0, 0}, {0, 0}}));
}

} // namespace
} // namespace ordavel
