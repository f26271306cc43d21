// The 打印记录 window finds jobs by their printed values (choosing the record
// that matched), shows them in Chinese with their number and user, their
// states as they change, previews a record at the pane's size from the
// template bytes the journal kept (not the file as it is now), with or
// without the form's background, and prints chosen records again as a new
// job naming the one it repeats.
#include "window_fixture.h"

#include "designer/file_toolbar.h"
#include "designer/journal_window.h"
#include "journal/journal.h"
#include "support/pdf_text.h"
#include "tools/cups_queue.h"
#include "tools/pdf_pages.h"

#include <QBuffer>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <map>
#include <optional>
#include <regex>

namespace ordavel {
namespace {

using test::pdfText;

// Pixels of the image close to `colour`.
int pixelsLike(const QImage& image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            count += std::abs(qRed(p) - qRed(colour)) < 40 && std::abs(qGreen(p) - qGreen(colour)) < 40
                     && std::abs(qBlue(p) - qBlue(colour)) < 40;
        }
    return count;
}

QString cell(const JournalWindow& w, int row, int column)
{
    const QTableWidgetItem* item = w.jobList()->item(row, column);
    return item == nullptr ? QString() : item->text();
}

std::vector<int> chosenRecords(const JournalWindow& w)
{
    std::vector<int> rows;
    for (const QModelIndex& index : w.recordList()->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool blank(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

class JournalWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            m_oldDataHome = old;
        dataHome = folder.filePath(QStringLiteral("data-home")).toStdString();
        ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        WindowTest::SetUp();
        oxf = writeTemplate(QStringLiteral("card.oxf"), [](Document& d) { label(d, "No.${#seq:card:000} ${收件人}"); });
        ASSERT_TRUE(window->openTemplate(oxf));
    }
    void TearDown() override
    {
        window.reset();
        if (m_oldDataHome)
            ::setenv("XDG_DATA_HOME", m_oldDataHome->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

    static void label(Document& d, const std::string& text)
    {
        const int index = d.addBox(BoxType::Label, 40, 60, 400, 40);
        d.box(index).attributes.text = text;
        d.box(index).attributes.font = FontSpec{"WenQuanYi Zen Hei", 20};
    }

    std::string journalPath() const { return dataHome + "/ordavel/journal.sqlite"; }

    // Prints records 1-3 of Ann, Bob and Cyd to a file; the job once settled.
    std::optional<JournalJob> printBatch()
    {
        const std::string data = folder.filePath(QStringLiteral("orders.csv")).toStdString();
        std::ofstream(data) << "单号,收件人\nA1,Ann\nA2,Bob\nA3,Cyd\n";
        if (!window->openDataFile(data))
            return std::nullopt;
        prompter.texts.push_back("1-3");
        prompter.printers.push_back(true);
        prompter.printToFile = folder.filePath(QStringLiteral("batch.pdf")).toStdString();
        if (!window->print())
            return std::nullopt;
        prompter.messages.clear(); // the batch's own report of what printed
        return newestFinished();
    }

    std::optional<JournalJob> newestFinished()
    {
        QElapsedTimer clock;
        clock.start();
        std::optional<JournalJob> job;
        while (clock.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
            auto opened = Journal::open(journalPath());
            if (!opened.journal)
                continue;
            const auto jobs = opened.journal->listJobs();
            if (!jobs.value.empty()) {
                job = jobs.value.front();
                if (isFinal(job->outcome))
                    break;
            }
        }
        return job;
    }

    // Prints the open template's page to a file; true once the job is settled.
    bool printPage()
    {
        prompter.printers.push_back(true);
        prompter.printToFile = folder.filePath(QStringLiteral("page.pdf")).toStdString();
        if (!window->print())
            return false;
        const auto job = newestFinished();
        return job && job->outcome == JournalOutcome::Printed;
    }

    // Opens the window from the arrow of the Print button.
    JournalWindow* openFromMenu()
    {
        const auto actions = window->fileToolBar()->printMenu()->actions();
        for (QAction* action : actions)
            if (action->text() == QStringLiteral("打印记录"))
                action->trigger();
        QApplication::processEvents();
        return window->findChild<JournalWindow*>(QStringLiteral("窗口_打印记录"));
    }

    static void chooseRecords(JournalWindow& w, std::initializer_list<int> rows)
    {
        QTableWidget* list = w.recordList();
        list->clearSelection();
        for (const int row : rows)
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    std::string dataHome;
    std::string oxf;

private:
    std::optional<std::string> m_oldDataHome;
};

TEST_F(JournalWindowTest, SearchFindsJobsByPrintedValuesAndPreviewDrawsTheStoredTemplate)
{
    const auto job = printBatch();
    ASSERT_TRUE(job.has_value());
    ASSERT_EQ(job->outcome, JournalOutcome::Printed);
    // The file changes afterwards; the window must not look at it.
    writeTemplate(QStringLiteral("card.oxf"), [](Document& d) { label(d, "CHANGED"); });

    JournalWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->jobs().size(), 1u);
    // 任务号 时间 用户 程序 类型 打印机 模板 记录 结果
    EXPECT_EQ(cell(*w, 0, 0), QString::number(job->id));
    EXPECT_EQ(cell(*w, 0, 1), QString::fromStdString(formatJournalTime(job->createdAt)));
    EXPECT_EQ(cell(*w, 0, 2), QString::fromStdString(job->user));
    EXPECT_FALSE(job->user.empty());
    EXPECT_EQ(cell(*w, 0, 3), QStringLiteral("设计器"));
    EXPECT_EQ(cell(*w, 0, 4), QStringLiteral("批量"));
    EXPECT_EQ(cell(*w, 0, 6), QStringLiteral("card"));
    EXPECT_EQ(cell(*w, 0, 7), QStringLiteral("3"));
    EXPECT_EQ(cell(*w, 0, 8), QStringLiteral("已打印"));
    ASSERT_EQ(w->recordList()->rowCount(), 3);
    EXPECT_EQ(w->recordList()->item(1, 2)->text(), QStringLiteral("已打印"));
    EXPECT_EQ(w->recordList()->item(1, 3)->text(), QStringLiteral("No.002 Bob"));
    // Each column as wide as what it shows: the time is not cut or wrapped.
    const QTableWidget* jobs = w->jobList();
    EXPECT_FALSE(jobs->wordWrap());
    for (const int column : {0, 1, 2, 3, 4, 6})
        EXPECT_GE(jobs->columnWidth(column), jobs->fontMetrics().horizontalAdvance(cell(*w, 0, column)))
            << column;

    w->searchLine()->setText(QStringLiteral("bob"));
    EXPECT_EQ(w->jobs().size(), 1u);
    // The record that matched is the one chosen.
    EXPECT_EQ(w->recordList()->currentRow(), 1);
    EXPECT_EQ(chosenRecords(*w), std::vector<int>{1});
    w->searchLine()->setText(QStringLiteral("card  cyd")); // the template's name and a value
    ASSERT_EQ(w->jobs().size(), 1u);
    EXPECT_EQ(w->recordList()->currentRow(), 2);
    EXPECT_EQ(chosenRecords(*w), std::vector<int>{2});
    w->searchLine()->setText(QStringLiteral("bob cyd"));
    EXPECT_TRUE(w->jobs().empty());
    w->searchLine()->setText(QStringLiteral("Zed"));
    EXPECT_TRUE(w->jobs().empty());
    EXPECT_EQ(w->recordList()->rowCount(), 0);
    EXPECT_TRUE(w->previewImage().isNull());
    w->searchLine()->setText(QString());
    ASSERT_EQ(w->jobs().size(), 1u);

    // Each record previews its own values; the changed file would draw one
    // short word for every record alike.
    w->recordList()->setCurrentCell(0, 0);
    const QImage ann = w->previewImage();
    w->recordList()->setCurrentCell(1, 0);
    const QImage bob = w->previewImage();
    ASSERT_FALSE(ann.isNull());
    EXPECT_FALSE(blank(ann));
    EXPECT_NE(ann, bob);
    // Drawn at the size of its pane: the page fills it one way, keeping its proportions.
    w->resize(1180, 720);
    w->show();
    QApplication::processEvents();
    const QWidget* pane = w->previewPane();
    const QImage shown = w->previewImage();
    const double ratio = pane->devicePixelRatioF();
    EXPECT_NEAR(static_cast<double>(shown.width()) / shown.height(), 21.0 / 29.0, 0.02);
    EXPECT_LE(shown.width(), pane->width() * ratio + 1);
    EXPECT_LE(shown.height(), pane->height() * ratio + 1);
    EXPECT_GE(std::max(shown.width() / (pane->width() * ratio), shown.height() / (pane->height() * ratio)), 0.98);
    w->resize(700, 450);
    QApplication::processEvents();
    EXPECT_LT(w->previewImage().height(), shown.height());
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(JournalWindowTest, ReprintPrintsTheChosenRecordsAsTheyWereAsANewJobNamingTheOld)
{
    const auto job = printBatch();
    ASSERT_TRUE(job.has_value());
    writeTemplate(QStringLiteral("card.oxf"), [](Document& d) { label(d, "CHANGED ${收件人}"); });
    JournalWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);

    // Nothing chosen: told, nothing printed.
    w->recordList()->clearSelection();
    EXPECT_FALSE(w->reprintSelected());
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].caption, "打印记录");
    prompter.messages.clear();

    chooseRecords(*w, {0, 2});
    const std::string pdf = folder.filePath(QStringLiteral("again.pdf")).toStdString();
    prompter.printers.push_back(true);
    prompter.printToFile = pdf;
    ASSERT_TRUE(w->reprintSelected());
    const std::string text = pdfText(pdf);
    EXPECT_NE(text.find("No.001 Ann"), std::string::npos) << text;
    EXPECT_NE(text.find("No.003 Cyd"), std::string::npos) << text;
    EXPECT_EQ(text.find("Bob"), std::string::npos) << text;
    EXPECT_EQ(text.find("CHANGED"), std::string::npos) << text;
    EXPECT_TRUE(prompter.messages.empty());

    const auto again = newestFinished();
    ASSERT_TRUE(again.has_value());
    EXPECT_NE(again->id, job->id);
    EXPECT_EQ(again->kind, "reprint");
    EXPECT_EQ(again->repeats, job->id);
    EXPECT_EQ(again->program, "designer");
    EXPECT_EQ(again->recordCount, 2);
    EXPECT_EQ(again->outcome, JournalOutcome::Printed);
    auto journal = Journal::open(journalPath()).journal;
    ASSERT_TRUE(journal);
    // A reprint prints the old numbers and takes no new one.
    EXPECT_EQ(journal->nextCounterValue("card").value, 4);
    const auto records = journal->records(again->id).value;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].fields[0].value, "No.003 Cyd");
    // The window lists the new job first, as a reprint of the old one.
    w->resize(1180, 720);
    w->show();
    QApplication::processEvents();
    ASSERT_EQ(w->jobs().size(), 2u);
    EXPECT_EQ(w->jobs().front().id, again->id);
    w->pollChanges(); // settled meanwhile by the designer
    EXPECT_EQ(cell(*w, 0, 4), QStringLiteral("重新打印任务 %1").arg(job->id));
    EXPECT_EQ(cell(*w, 0, 8), QStringLiteral("已打印"));
    EXPECT_EQ(cell(*w, 0, 7), QStringLiteral("2"));

    // Its preview shows the number the record printed, as the first print's does.
    w->jobList()->setCurrentCell(0, 0);
    w->recordList()->setCurrentCell(1, 0);
    const QImage reprinted = w->previewImage();
    w->jobList()->setCurrentCell(1, 0);
    w->recordList()->setCurrentCell(2, 0);
    const QImage first = w->previewImage();
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(reprinted, first);
    w->recordList()->setCurrentCell(1, 0);
    EXPECT_NE(w->previewImage(), first);

    // For a look at the window as a clerk sees it.
    if (const char* shot = std::getenv("ORDAVEL_JOURNAL_SCREENSHOT")) {
        w->jobList()->setCurrentCell(0, 0);
        w->recordList()->setCurrentCell(1, 0);
        QApplication::processEvents();
        EXPECT_TRUE(w->grab().save(QString::fromLocal8Bit(shot)));
    }
}

TEST_F(JournalWindowTest, AReprintToAPrinterGoesOutOnThePaperTheRecordsFirstHad)
{
    test::CupsPdfQueue queue;
    if (const std::string why = queue.start(); !why.empty())
        GTEST_SKIP() << "no CUPS scheduler: " << why;
    oxf = writeTemplate(QStringLiteral("waybill.oxf"), [](Document& d) {
        d.setPageSizes(23.0, 12.7, 869, 480);
        label(d, "No.${#seq:card:000} ${收件人}");
    });
    ASSERT_TRUE(window->openTemplate(oxf));
    const auto job = printBatch();
    ASSERT_TRUE(job.has_value());
    JournalWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);

    chooseRecords(*w, {1});
    const auto folders = test::cups::outputFolders();
    prompter.printers.push_back(true);
    prompter.printToFile.clear();
    prompter.printerName = queue.name;
    ASSERT_TRUE(w->reprintSelected());
    const std::filesystem::path pdf = test::cups::waitForJobPdf(folders, test::cups::lastJobId(queue.name));
    ASSERT_FALSE(pdf.empty()) << "no PDF from the queue";
    test::expectPagesOf(pdf, 230, 127);
    EXPECT_EQ(test::pdfPageSizes(pdf).size(), 1u);
    std::error_code ignored;
    std::filesystem::remove(pdf, ignored);
}

// On a template of several forms to a sheet the window's reprint puts each
// chosen record back into the cell it first had: record 2 into cell 5, and
// records 5 and 6 into cells 2 and 3 of a second sheet.
TEST_F(JournalWindowTest, AReprintOnASheetOfSeveralFormsPutsEachRecordBackIntoItsCell)
{
    oxf = writeTemplate(QStringLiteral("labels.oxf"), [](Document& d) {
        d.setPageSizes(10.0, 9.0, 378, 340);
        d.page().sheet = SheetLayout{21.0, 29.7, 2, 3, 0.5, 1.0, 10.0, 9.5};
        const int index = d.addBox(BoxType::Label, 0, 0, 300, 40);
        d.box(index).followsEdit = false;
        d.box(index).printRect = {1.0, 1.0, 8.0, 1.0};
        d.box(index).attributes.text = "L${单号}";
        d.box(index).attributes.font = FontSpec{"DejaVu Sans", 12};
    });
    ASSERT_TRUE(window->openTemplate(oxf));
    const std::string data = folder.filePath(QStringLiteral("labels.csv")).toStdString();
    std::ofstream(data) << "单号\n1\n2\n3\n4\n5\n6\n7\n8\n";
    ASSERT_TRUE(window->openDataFile(data));
    prompter.texts.push_back("1-8");
    prompter.texts.push_back("4");
    prompter.printers.push_back(true);
    prompter.printToFile = folder.filePath(QStringLiteral("labels.pdf")).toStdString();
    ASSERT_TRUE(window->print());
    prompter.messages.clear();
    const auto job = newestFinished();
    ASSERT_TRUE(job.has_value());

    JournalWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    chooseRecords(*w, {1, 4, 5});
    const std::string pdf = folder.filePath(QStringLiteral("again.pdf")).toStdString();
    prompter.printers.push_back(true);
    prompter.printToFile = pdf;
    ASSERT_TRUE(w->reprintSelected());

    // Each label's page, and its cell from where its box starts on the sheet.
    const std::string html = test::runCommand("pdftotext -bbox " + test::shellQuoted(pdf) + " -").output;
    const std::regex pattern(R"re(<page |<word xMin="([0-9.]+)" yMin="([0-9.]+)"[^>]*>([^<]*)</word>)re");
    std::map<std::string, std::pair<int, int>> found;
    int page = 0;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), pattern); it != std::sregex_iterator(); ++it) {
        if (!(*it)[1].matched) {
            ++page;
            continue;
        }
        const double x = std::stod((*it)[1]) * 2.54 / 72;
        const double y = std::stod((*it)[2]) * 2.54 / 72;
        const int column = static_cast<int>(std::lround((x - 1.5) / 10));
        const int row = static_cast<int>(std::lround((y - 2.0) / 9.5));
        EXPECT_NEAR(x, 1.5 + 10 * column, 0.05) << (*it)[3];
        found[(*it)[3]] = {page, row * 2 + column + 1};
    }
    EXPECT_EQ(found, (std::map<std::string, std::pair<int, int>>{{"L2", {1, 5}}, {"L5", {2, 2}}, {"L6", {2, 3}}}))
        << html;

    const auto again = newestFinished();
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->repeats, job->id);
    auto journal = Journal::open(journalPath()).journal;
    ASSERT_TRUE(journal);
    std::vector<std::pair<int, int>> places;
    for (const JournalRecord& record : journal->records(again->id).value)
        places.emplace_back(record.sheet, record.cell);
    EXPECT_EQ(places, (std::vector<std::pair<int, int>>{{1, 5}, {2, 2}, {2, 3}}));
}

// A job another program finishes is shown finished at the window's next
// look (its timer's), with the records chosen kept; nothing is read again
// while nothing changed.
TEST_F(JournalWindowTest, StatesAreShownAsTheyChangeKeepingWhatIsChosen)
{
    auto printer = Journal::open(journalPath()).journal;
    ASSERT_TRUE(printer);
    std::ifstream file(oxf, std::ios::binary);
    JournalJobIn in;
    in.program = "tool";
    in.kind = JournalKind::Batch;
    in.printer = "Front_Desk";
    in.templateName = "card";
    in.templateBytes.assign(std::istreambuf_iterator<char>(file), {});
    in.startPrinting = true;
    for (int i = 1; i <= 3; ++i) {
        JournalRecordIn record;
        record.number = i;
        record.fields = {{"box 1", "No.00" + std::to_string(i)}};
        in.records.push_back(record);
    }
    const JournalJobId id = printer->recordJob(in).value;
    ASSERT_GT(id, 0);
    ASSERT_EQ(printer->setRecordOutcome(id, 0, 0, JournalOutcome::Printed), "");

    JournalSession session(journalPath());
    JournalWindow w(prompter, session);
    const auto* timer = w.findChild<QTimer*>(QStringLiteral("计时器_刷新"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    ASSERT_EQ(w.jobs().size(), 1u);
    EXPECT_EQ(cell(w, 0, 3), QStringLiteral("命令行工具"));
    EXPECT_EQ(cell(w, 0, 8), QStringLiteral("正在打印"));
    EXPECT_EQ(cell(w, 0, 7), QStringLiteral("1/3"));
    EXPECT_EQ(w.recordList()->item(1, 2)->text(), QStringLiteral("正在打印"));
    chooseRecords(w, {1, 2});
    w.recordList()->setCurrentCell(2, 0, QItemSelectionModel::NoUpdate);
    EXPECT_FALSE(w.pollChanges());

    w.jobList()->setColumnWidth(5, 400); // widened by the user: stays so
    ASSERT_EQ(printer->setRecordOutcome(id, 1, 1, JournalOutcome::Printed), "");
    ASSERT_EQ(printer->setRecordOutcome(id, 2, 2, JournalOutcome::Failed, "卡纸\n请检查"), "");
    ASSERT_EQ(printer->finishJob(id, JournalOutcome::Failed, "1 个记录没有打印"), "");
    EXPECT_TRUE(w.pollChanges());
    EXPECT_EQ(cell(w, 0, 8), QStringLiteral("打印失败"));
    EXPECT_EQ(cell(w, 0, 7), QStringLiteral("2/3"));
    EXPECT_EQ(w.recordList()->item(1, 2)->text(), QStringLiteral("已打印"));
    EXPECT_EQ(w.recordList()->item(2, 2)->text(), QStringLiteral("打印失败"));
    EXPECT_EQ(w.recordList()->item(2, 2)->toolTip(), QStringLiteral("卡纸⏎请检查"));
    EXPECT_EQ(chosenRecords(w), (std::vector<int>{1, 2}));
    EXPECT_EQ(w.recordList()->currentRow(), 2);
    EXPECT_EQ(w.jobList()->columnWidth(5), 400);
    EXPECT_FALSE(w.pollChanges());
    EXPECT_TRUE(prompter.messages.empty());

    // A job printed meanwhile comes first; the one chosen stays chosen.
    in.program = "service";
    in.printer = "Office";
    const JournalJobId later = printer->recordJob(in).value;
    EXPECT_TRUE(w.pollChanges());
    ASSERT_EQ(w.jobs().size(), 2u);
    EXPECT_EQ(w.jobs().front().id, later);
    EXPECT_EQ(cell(w, 0, 3), QStringLiteral("打印服务"));
    EXPECT_EQ(w.jobList()->currentRow(), 1);
    EXPECT_EQ(chosenRecords(w), (std::vector<int>{1, 2}));

    // While searching, only the new jobs that the search finds join the list.
    w.searchLine()->setText(QStringLiteral("front"));
    ASSERT_EQ(w.jobs().size(), 1u);
    ASSERT_TRUE(printer->recordJob(in).ok()); // at the office
    EXPECT_TRUE(w.pollChanges());
    EXPECT_EQ(w.jobs().size(), 1u);
    in.printer = "Front_Desk";
    const JournalJobId front = printer->recordJob(in).value;
    EXPECT_TRUE(w.pollChanges());
    ASSERT_EQ(w.jobs().size(), 2u);
    EXPECT_EQ(w.jobs().front().id, front);
    EXPECT_EQ(w.jobList()->rowCount(), 2);
    EXPECT_EQ(cell(w, 0, 0), QString::number(front));
    EXPECT_TRUE(prompter.messages.empty());
}

// A job left printing by a tool that is gone, and that never reached the
// print queue, is asked about on the window's behalf and shown failed; the
// window's own jobs and those of a program still running are left alone.
TEST_F(JournalWindowTest, AJobLeftPrintingByAToolThatIsGoneIsSettledFromThePrintQueue)
{
    auto printer = Journal::open(journalPath()).journal;
    ASSERT_TRUE(printer);
    JournalJobIn in;
    in.program = "tool";
    in.printer = "Front_Desk";
    in.templateName = "card";
    in.templateBytes = "<oxf/>";
    in.records.push_back(JournalRecordIn{});
    const JournalJobId gone = printer->recordJob(in).value;
    ASSERT_TRUE(printer->claimJob(gone, "pid 999999999@").value); // no process has that id
    in.startPrinting = true;
    const JournalJobId running = printer->recordJob(in).value; // printed by this process
    ASSERT_GT(running, gone);

    JournalSession session(journalPath());
    JournalWindow w(prompter, session);
    prompter.messages.clear(); // "<oxf/>" cannot be previewed
    ASSERT_EQ(w.jobs().size(), 2u);
    EXPECT_EQ(cell(w, 1, 8), QStringLiteral("正在打印"));
    const auto settling = w.settleUnfinished();
    ASSERT_TRUE(settling.valid());
    settling.wait();
    EXPECT_TRUE(w.pollChanges());
    EXPECT_EQ(cell(w, 1, 8), QStringLiteral("打印失败"));
    EXPECT_EQ(cell(w, 0, 8), QStringLiteral("正在打印"));
    ASSERT_EQ(printer->finishJob(running, JournalOutcome::Printed), "");
    EXPECT_TRUE(w.pollChanges());
    EXPECT_FALSE(w.settleUnfinished().valid()); // nothing left to ask about
}

// 内容 shows each record on one line (line breaks as ⏎); a cell too narrow
// for it has the whole as its tooltip, one value a line.
TEST_F(JournalWindowTest, ContentStaysOnOneLineAndACutCellHasTheWholeAsItsTooltip)
{
    std::ifstream file(oxf, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    JournalJobIn in;
    in.program = "designer";
    in.printer = "pdf";
    in.templateName = "card";
    in.templateBytes = bytes;
    JournalRecordIn record;
    record.fields = {{"box 1", "张三\n北京市朝阳区建国路 88 号"}, {"box 2", "SF1001"}};
    in.records.push_back(record);
    record.fields = {{"box 1", "李四"}};
    in.records.push_back(record);
    {
        auto journal = Journal::open(journalPath()).journal;
        ASSERT_TRUE(journal);
        ASSERT_GT(journal->recordJob(in).value, 0);
    }
    JournalSession session(journalPath());
    JournalWindow w(prompter, session);
    w.resize(1180, 720);
    w.show();
    QApplication::processEvents();
    ASSERT_EQ(w.recordList()->rowCount(), 2);
    EXPECT_EQ(w.recordList()->item(0, 3)->text(), QStringLiteral("张三⏎北京市朝阳区建国路 88 号 | SF1001"));
    const QString whole = QStringLiteral("张三\n北京市朝阳区建国路 88 号\nSF1001");
    EXPECT_EQ(w.contentToolTip(0), whole); // a value of two lines is always cut
    EXPECT_TRUE(w.contentToolTip(1).isEmpty());
    w.recordList()->horizontalHeader()->setStretchLastSection(false);
    w.recordList()->setColumnWidth(3, 20);
    EXPECT_EQ(w.contentToolTip(1), QStringLiteral("李四"));
    EXPECT_TRUE(prompter.messages.empty());
}

// "显示背景图片" draws the form's background under the record, though the
// template does not print it; switched off, the record alone.
TEST_F(JournalWindowTest, TheBackgroundSwitchDrawsTheFormUnderTheRecord)
{
    const std::string form = writeTemplate(QStringLiteral("form.oxf"), [](Document& d) {
        QFile picture(QStringLiteral(ORDAVEL_TEST_DATA "/pictures/all-reds.gif"));
        ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
        d.page().background = picture.readAll().toStdString();
        d.page().imgShowType = 1;
        d.page().isPrintBgPic = false;
        label(d, "No.${#seq:card:000}");
    });
    ASSERT_TRUE(window->openTemplate(form));
    ASSERT_TRUE(printPage());
    JournalWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    w->show();
    QApplication::processEvents();
    ASSERT_TRUE(w->backgroundSwitch()->isChecked());
    const QImage withForm = w->previewImage();
    ASSERT_FALSE(withForm.isNull());
    const int area = withForm.width() * withForm.height();
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_LT(pixelsLike(withForm, white), area / 2); // the picture stretched over the page
    w->backgroundSwitch()->setChecked(false);
    const QImage alone = w->previewImage();
    EXPECT_GT(pixelsLike(alone, white), area * 9 / 10); // the number alone
    EXPECT_FALSE(blank(alone));
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(JournalWindowTest, TheCheckBoxSwitchesTheJournalOffAndOnAndNothingIsCreatedByLooking)
{
    JournalSession session(journalPath());
    JournalWindow w(prompter, session);
    EXPECT_TRUE(w.jobs().empty());
    EXPECT_FALSE(std::filesystem::exists(journalPath()));
    ASSERT_TRUE(w.journalSwitch()->isChecked());
    w.journalSwitch()->setChecked(false);
    EXPECT_TRUE(Journal::isOff(journalPath()));
    w.journalSwitch()->setChecked(true);
    EXPECT_FALSE(Journal::isOff(journalPath()));
    EXPECT_TRUE(prompter.messages.empty());
}

} // namespace
} // namespace ordavel
