// The data command and panel: opening a data file, stepping through records,
// the preview of the current record and printing a list of records.
#include "window_fixture.h"

#include "data/data_source.h"
#include "designer/data_panel.h"
#include "designer/paper_panel.h"
#include "designer/work_area.h"
#include "support/pdf_text.h"

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QToolBar>

#include <cstdio>
#include <fstream>

namespace ordavel {
namespace {

class DataPanelTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        const std::string oxf = writeTemplate(QStringLiteral("card.oxf"), [](Document& d) {
            const int index = d.addBox(BoxType::Label, 40, 60, 300, 40);
            d.box(index).attributes.text = "${收件人} ${#}";
            d.box(index).attributes.font = FontSpec{"WenQuanYi Zen Hei", 20};
        });
        ASSERT_TRUE(window->openTemplate(oxf));
        data = folder.filePath(QStringLiteral("orders.csv")).toStdString();
        std::ofstream(data) << "单号,收件人\nA1,Ann\nA2,Bob\nA3,Cyd\n";
    }

    DataPanel* panel() { return window->dataPanel(); }
    QString position() { return panel()->findChild<QLabel*>(QStringLiteral("标签_当前记录"))->text(); }
    void click(const char* button)
    {
        panel()->findChild<QPushButton*>(QString::fromUtf8(button))->click();
        QApplication::processEvents();
    }
    QImage preview() { return window->workArea()->paperPanel()->grab().toImage(); }

    std::string data;
};

TEST_F(DataPanelTest, TheDataCommandOpensAFileAndTheButtonsStepThroughIt)
{
    EXPECT_FALSE(panel()->isVisible());
    prompter.files.push_back(data);
    window->dataToolBar()->actions().constFirst()->trigger();
    ASSERT_EQ(prompter.fileChoices.size(), 1u);
    EXPECT_EQ(prompter.fileChoices[0].title, "打开数据文件");
    ASSERT_TRUE(panel()->isVisible());
    auto* table = panel()->findChild<QTableView*>(QStringLiteral("表格_数据记录"));
    ASSERT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(table->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("收件人"));
    EXPECT_EQ(table->model()->index(2, 1).data().toString(), QStringLiteral("Cyd"));
    EXPECT_EQ(position(), QStringLiteral("第 1 条，共 3 条"));
    EXPECT_FALSE(panel()->findChild<QPushButton*>(QStringLiteral("按钮_上一条"))->isEnabled());
    click("按钮_下一条");
    EXPECT_EQ(position(), QStringLiteral("第 2 条，共 3 条"));
    EXPECT_EQ(table->currentIndex().row(), 1);
    click("按钮_最后一条");
    EXPECT_EQ(position(), QStringLiteral("第 3 条，共 3 条"));
    EXPECT_FALSE(panel()->findChild<QPushButton*>(QStringLiteral("按钮_下一条"))->isEnabled());
    click("按钮_上一条");
    click("按钮_第一条");
    EXPECT_EQ(panel()->currentRow(), 0);
    // Choosing a row in the table makes it current.
    table->setCurrentIndex(table->model()->index(2, 0));
    EXPECT_EQ(position(), QStringLiteral("第 3 条，共 3 条"));
}

TEST_F(DataPanelTest, AWorkbookOfSeveralSheetsAsksWhichAndCancelKeepsTheOpenData)
{
    const std::string book = ORDAVEL_TEST_DATA "/records/orders.xlsx";
    auto* table = panel()->findChild<QTableView*>(QStringLiteral("表格_数据记录"));
    auto* file = panel()->findChild<QLabel*>(QStringLiteral("标签_数据文件"));
    const auto openThroughCommand = [&](const std::string& name) {
        prompter.files.push_back(name);
        window->dataToolBar()->actions().constFirst()->trigger();
        QApplication::processEvents();
    };

    prompter.items.push_back(1);
    openThroughCommand(book);
    ASSERT_EQ(prompter.itemChoices.size(), 1u);
    EXPECT_EQ(prompter.itemChoices[0].items, (std::vector<std::string>{"订单", "退货"}));
    EXPECT_EQ(prompter.itemChoices[0].initial, 0);
    EXPECT_EQ(prompter.itemChoices[0].title, "选择工作表");
    EXPECT_EQ(prompter.itemChoices[0].prompt, "“orders.xlsx”有 2 个工作表，打开哪一个？");
    ASSERT_TRUE(panel()->hasData());
    ASSERT_EQ(table->model()->rowCount(), 1);
    EXPECT_EQ(table->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("原因"));
    EXPECT_EQ(table->model()->index(0, 1).data().toString(), QStringLiteral("地址不详"));
    EXPECT_EQ(file->text(), QStringLiteral("orders.xlsx　工作表：退货"));

    // The offered default, the first sheet (its empty row skipped).
    prompter.items.push_back(0);
    openThroughCommand(book);
    EXPECT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(file->text(), QStringLiteral("orders.xlsx　工作表：订单"));

    // A CSV file names no sheet; cancelling the sheet choice afterwards opens
    // nothing and keeps the CSV's records and current record.
    openThroughCommand(data);
    click("按钮_下一条");
    EXPECT_EQ(file->text(), QStringLiteral("orders.csv"));
    prompter.items.push_back(std::nullopt);
    openThroughCommand(book);
    EXPECT_EQ(prompter.itemChoices.size(), 3u);
    EXPECT_EQ(file->text(), QStringLiteral("orders.csv"));
    ASSERT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(table->model()->index(0, 1).data().toString(), QStringLiteral("Ann"));
    EXPECT_EQ(position(), QStringLiteral("第 2 条，共 3 条"));
    EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(DataPanelTest, AWorkbookOfOneSheetOpensWithoutAsking)
{
    const std::string book = ORDAVEL_TEST_DATA "/xlsx/date.xlsx";
    const DataReadResult read = readDataFile(book, "");
    ASSERT_TRUE(read.ok()) << read.error;
    prompter.files.push_back(book);
    window->dataToolBar()->actions().constFirst()->trigger();
    EXPECT_EQ(prompter.requests, std::vector<std::string>{"open"});
    ASSERT_TRUE(panel()->hasData());
    EXPECT_EQ(panel()->table()->columns(), read.table.columns());
    EXPECT_EQ(panel()->recordCount(), read.table.recordCount());
    EXPECT_EQ(panel()->findChild<QLabel*>(QStringLiteral("标签_数据文件"))->text(),
              QStringLiteral("date.xlsx　工作表：Sheet1"));
}

TEST_F(DataPanelTest, ThePanelFirstAppearsOffTheToolbarsAndStaysWhereItIsPut)
{
    ASSERT_TRUE(window->openDataFile(data));
    QApplication::processEvents();
    const QRect bar(window->dataToolBar()->mapToGlobal(QPoint(0, 0)), window->dataToolBar()->size());
    const QRect placed = panel()->frameGeometry();
    EXPECT_FALSE(placed.intersects(bar)) << placed.x() << "," << placed.y();
    EXPECT_TRUE(window->frameGeometry().contains(placed.center()));
    const QPoint moved = placed.topLeft() + QPoint(-30, -20);
    panel()->move(moved);
    ASSERT_TRUE(window->openDataFile(data));
    QApplication::processEvents();
    EXPECT_EQ(panel()->frameGeometry().topLeft(), moved);
}

TEST_F(DataPanelTest, PreviewNamesTheColumnsTheDataLacks)
{
    auto* check = panel()->findChild<QLabel*>(QStringLiteral("标签_数据提示"));
    const std::string other = folder.filePath(QStringLiteral("other.csv")).toStdString();
    std::ofstream(other) << "单号,姓名\nA1,Ann\n";
    ASSERT_TRUE(window->openDataFile(other));
    EXPECT_TRUE(check->isHidden()); // EditMode: nothing previews
    window->switchMode(AppMode::PreviewMode);
    EXPECT_FALSE(check->isHidden());
    EXPECT_EQ(check->text(), QStringLiteral("数据文件里没有模板用到的列：收件人"));
    ASSERT_TRUE(window->openDataFile(data));
    EXPECT_TRUE(check->isHidden());
    ASSERT_TRUE(window->openDataFile(other));
    EXPECT_FALSE(check->isHidden());
    window->switchMode(AppMode::DesignMode);
    EXPECT_TRUE(check->isHidden());
}

TEST_F(DataPanelTest, AFileThatCannotBeReadIsReportedAndNotOpened)
{
    std::ofstream(data) << "单号,收件人\nA1,\"Ann\n";
    EXPECT_FALSE(window->openDataFile(data));
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "数据文件读不出来：" + data + "\n第 2 行第 2 列：引号没有闭合");
    EXPECT_EQ(prompter.messages[0].caption, "数据");
    EXPECT_FALSE(panel()->hasData());
    // A file that is not there is named once.
    const std::string gone = folder.filePath(QStringLiteral("gone.csv")).toStdString();
    EXPECT_FALSE(window->openDataFile(gone));
    EXPECT_EQ(prompter.messages.back().text, "数据文件读不出来：" + gone);
}

TEST_F(DataPanelTest, PreviewShowsTheCurrentRecordAndLeavesTheTemplateAlone)
{
    window->switchMode(AppMode::PreviewMode);
    QApplication::processEvents();
    const QImage typed = preview();
    ASSERT_TRUE(window->openDataFile(data));
    QApplication::processEvents();
    const QImage first = preview();
    click("按钮_下一条");
    const QImage second = preview();
    click("按钮_上一条");
    EXPECT_NE(typed, first);
    EXPECT_NE(first, second);
    EXPECT_EQ(preview(), first);
    EXPECT_EQ(doc().box(1).attributes.text, "${收件人} ${#}");
    EXPECT_FALSE(doc().modified());
}

// Without data a column's placeholder shows and prints as nothing, never as
// "${...}": in the preview and in print from EditMode alike; the record
// number still reads 1.
TEST_F(DataPanelTest, WithoutDataAPlaceholderPreviewsAndPrintsAsNothing)
{
    ASSERT_EQ(doc().appMode(), AppMode::EditMode);
    const std::string pdf = folder.filePath(QStringLiteral("page.pdf")).toStdString();
    prompter.printers.push_back(true);
    prompter.printToFile = pdf;
    ASSERT_TRUE(window->print());
    const std::string text = test::pdfText(pdf);
    EXPECT_NE(text.find('1'), std::string::npos) << text;
    EXPECT_EQ(text.find("${"), std::string::npos) << text;
    EXPECT_EQ(text.find("收件人"), std::string::npos) << text;

    window->switchMode(AppMode::PreviewMode);
    QApplication::processEvents();
    const QImage withPlaceholder = preview();
    doc().box(1).attributes.text = " 1";
    doc().boxEdited(1);
    window->workArea()->paperPanel()->update();
    QApplication::processEvents();
    EXPECT_EQ(preview(), withPlaceholder);
    doc().box(1).attributes.text = "${收件人} 1";
    doc().boxEdited(1);
    window->workArea()->paperPanel()->update();
    QApplication::processEvents();
    EXPECT_EQ(preview(), withPlaceholder);
    doc().box(1).attributes.text = "收件人 1";
    doc().boxEdited(1);
    window->workArea()->paperPanel()->update();
    QApplication::processEvents();
    EXPECT_NE(preview(), withPlaceholder); // the preview does draw the text
}

TEST_F(DataPanelTest, PrintAsksForRecordsAndPrintsThemAsOneJob)
{
    ASSERT_TRUE(window->openDataFile(data));
    click("按钮_下一条");
    const std::string pdf = folder.filePath(QStringLiteral("batch.pdf")).toStdString();
    prompter.texts.push_back("3,1");
    prompter.printers.push_back(true);
    prompter.printToFile = pdf;
    ASSERT_TRUE(window->print());
    ASSERT_EQ(prompter.requests, (std::vector<std::string>{"text", "printer", "message"}));
    EXPECT_EQ(prompter.messages.back().text, "已打印记录：3,1（共 2 页）");
    EXPECT_EQ(prompter.messages.back().icon, MessageIcon::Information);

    const std::string text = test::pdfText(pdf);
    // Page by page: record 3 numbered 1, then record 1 numbered 2.
    const auto cyd = text.find("Cyd 1");
    const auto page = text.find('\f');
    const auto ann = text.find("Ann 2");
    ASSERT_NE(cyd, std::string::npos) << text;
    ASSERT_NE(ann, std::string::npos) << text;
    EXPECT_LT(cyd, page);
    EXPECT_GT(ann, page);
    EXPECT_EQ(text.find("Bob"), std::string::npos);
}

// Two forms across and three down: asked for the cell to start at, records
// 1 and 2 go into cells 5 and 6 of the first sheet, record 3 onto the next.
TEST_F(DataPanelTest, OnASheetOfSeveralFormsPrintAsksWhichCellToStartAt)
{
    doc().page().sheet = SheetLayout{21.0, 29.7, 2, 3, 0.0, 0.0, 10.5, 9.9};
    ASSERT_TRUE(window->openDataFile(data));
    const std::string pdf = folder.filePath(QStringLiteral("sheets.pdf")).toStdString();
    prompter.texts.push_back("1-3");
    prompter.texts.push_back("7");
    EXPECT_FALSE(window->print());
    EXPECT_EQ(prompter.messages.back().text, "格号应为 1 到 6 的整数");

    prompter.requests.clear();
    prompter.texts.push_back("1-3");
    prompter.texts.push_back("5");
    prompter.printers.push_back(true);
    prompter.printToFile = pdf;
    ASSERT_TRUE(window->print());
    EXPECT_EQ(prompter.requests, (std::vector<std::string>{"text", "text", "printer", "message"}));
    const std::string text = test::pdfText(pdf);
    const auto page = text.find('\f');
    ASSERT_NE(page, std::string::npos) << text;
    EXPECT_LT(text.find("Ann 1"), page) << text;
    EXPECT_LT(text.find("Bob 2"), page) << text;
    EXPECT_GT(text.find("Cyd 3"), page) << text;
    EXPECT_EQ(text.find('\f', page + 1), text.size() - 1) << "two sheets";
}

TEST_F(DataPanelTest, PrintChecksTheFieldsAndTheListFirst)
{
    std::ofstream(data) << "单号,姓名\nA1,Ann\n";
    ASSERT_TRUE(window->openDataFile(data));
    EXPECT_FALSE(window->print());
    EXPECT_EQ(prompter.requests, std::vector<std::string>{"message"});
    EXPECT_EQ(prompter.messages.back().text, "数据文件里没有模板用到的列：收件人\n没有打印。");
    EXPECT_EQ(prompter.messages.back().caption, "打印文件");

    std::ofstream(data) << "收件人\nAnn\n";
    ASSERT_TRUE(window->openDataFile(data));
    prompter.texts.push_back("2");
    EXPECT_FALSE(window->print());
    EXPECT_EQ(prompter.messages.back().text, "记录范围“2”不对：只有 1 条记录");
    prompter.texts.push_back(std::nullopt); // cancelled
    EXPECT_FALSE(window->print());
    EXPECT_EQ(std::count(prompter.requests.begin(), prompter.requests.end(), "printer"), 0);
}

} // namespace
} // namespace ordavel
