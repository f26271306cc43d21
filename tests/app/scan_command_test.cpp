// "扫描生成..." from the New button's arrow: a scanned form through the
// paper dialog, the analysis and the proposals dialog into the document.

#include "designer/file_toolbar.h"
#include "designer/page_setup_dialog.h"
#include "designer/scan_proposals_dialog.h"
#include "designer/undo_controller.h"
#include "platform/qt_prompter.h"
#include "window_fixture.h"

#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <fstream>
#include <functional>

namespace ordavel {
namespace {

const char* kScan = ORDAVEL_TEST_DATA "/scans/form_example1.png";

void choosePaper(ScanPaperDialog& dialog, const std::string& name)
{
    const std::vector<std::string> entries = dialog.entries();
    const auto found = std::find(entries.begin(), entries.end(), name);
    ASSERT_NE(found, entries.end()) << name;
    dialog.choosePreset(static_cast<int>(found - entries.begin()));
}

class ScanCommand : public WindowTest {
protected:
    // Calls `act` on each modal window as it comes up, until the command returns.
    void runWith(const std::function<void(QWidget*)>& act, const std::function<void()>& command)
    {
        QTimer driver;
        driver.setInterval(20);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget())
                act(modal);
            else if (auto* progress = window->findChild<QProgressDialog*>(QStringLiteral("进度框_扫描生成"));
                     progress && progress->isVisible())
                act(progress);
        });
        driver.start();
        command();
        driver.stop();
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }

    std::vector<const Box*> boxesInUse()
    {
        std::vector<const Box*> boxes;
        for (int i = 1; i <= doc().slotCount(); ++i)
            if (doc().box(i).inUse)
                boxes.push_back(&doc().box(i));
        return boxes;
    }

    const UndoHistory& history() { return window->undoController()->history(); }
};

TEST_F(ScanCommand, KeptProposalsBecomeBoxesOnTheScanAsOneUndoStep)
{
    QAction* entry = nullptr;
    for (QAction* action : window->fileToolBar()->newMenu()->actions())
        if (action->text() == QStringLiteral("扫描生成..."))
            entry = action;
    ASSERT_NE(entry, nullptr);

    prompter.files = {std::string(kScan)};
    prompter.texts = {"收件人电话(手机)"};
    const std::size_t stepsBefore = history().undoCount();
    std::vector<scan::ProposedField> shown;
    std::string droppedColumn;
    bool paperAsked = false;
    runWith(
        [&](QWidget* modal) {
            if (auto* paper = qobject_cast<ScanPaperDialog*>(modal)) {
                paperAsked = true;
                // The scan states 96 dpi: its own size, no preset, comes up.
                EXPECT_EQ(paper->chosenEntry(), static_cast<int>(paper->entries().size()) - 1);
                EXPECT_NEAR(paper->paper().widthCm, 1653 / 96.0 * 2.54, 0.05);
                choosePaper(*paper, "A4 21.0 × 29.7 厘米");
                EXPECT_DOUBLE_EQ(paper->paper().widthCm, 21.0);
                EXPECT_DOUBLE_EQ(paper->paper().heightCm, 29.7);
                paper->accept();
            } else if (auto* proposals = qobject_cast<ScanProposalsDialog*>(modal); proposals && shown.empty()) {
                shown = proposals->fields();
                ASSERT_GE(shown.size(), 3u);
                // A click on the first drops it, a double click on the second renames it.
                QTest::mouseClick(proposals->view(), Qt::LeftButton, {}, proposals->centreOnView(0));
                EXPECT_FALSE(proposals->isKept(0));
                QTest::mouseDClick(proposals->view(), Qt::LeftButton, {}, proposals->centreOnView(1));
                EXPECT_TRUE(proposals->isKept(1));
                EXPECT_EQ(proposals->fields()[1].column, "收件人电话");
                droppedColumn = shown[0].column;
                proposals->accept();
            }
        },
        [&] { entry->trigger(); });

    EXPECT_TRUE(paperAsked);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(prompter.requests, (std::vector<std::string>{"open", "text"}));
    // The chooser offers the scans' pictures, then every file.
    ASSERT_FALSE(prompter.fileChoices.empty());
    EXPECT_EQ(qtFileFilter(prompter.fileChoices[0].filter).toStdString(),
              "扫描件(*.png *.jpg *.jpeg *.bmp *.tif *.tiff);;所有文件(*)");
    EXPECT_NEAR(doc().page().pageWidth, 21.0, 1e-4);
    EXPECT_NEAR(doc().page().pageHeight, 29.7, 1e-4);
    EXPECT_FALSE(doc().page().background.empty());
    EXPECT_FALSE(doc().page().isPrintBgPic);

    const std::vector<const Box*> boxes = boxesInUse();
    ASSERT_EQ(boxes.size(), shown.size() - 1);
    bool renamed = false;
    for (const Box* box : boxes) {
        EXPECT_NE(box->attributes.text.find("${"), std::string::npos);
        renamed = renamed || box->attributes.text == "${收件人电话}";
        // The dropped proposal's column is gone unless a kept one shares it.
        if (box->attributes.text == "${" + droppedColumn + "}")
            ADD_FAILURE() << "dropped proposal added: " << droppedColumn;
    }
    EXPECT_TRUE(renamed);

    ASSERT_EQ(history().undoCount(), stepsBefore + 1);
    window->undoController()->undo();
    QApplication::processEvents();
    EXPECT_TRUE(boxesInUse().empty());
    EXPECT_TRUE(doc().page().background.empty());
}

TEST_F(ScanCommand, CancelLeavesTheDocumentUnchanged)
{
    const PageSettings pageBefore = doc().page();
    const std::size_t stepsBefore = history().undoCount();

    // Cancelled at the paper dialog.
    prompter.files = {std::string(kScan)};
    runWith([](QWidget* modal) {
        if (auto* paper = qobject_cast<ScanPaperDialog*>(modal))
            paper->reject();
    }, [&] { window->dispatch(DesignerCommand::ScanToTemplate); });

    // Cancelled while the analysis runs: the proposals never come up.
    prompter.files = {std::string(kScan)};
    bool cancelled = false;
    bool proposalsShown = false;
    runWith(
        [&](QWidget* modal) {
            if (auto* paper = qobject_cast<ScanPaperDialog*>(modal)) {
                paper->setCustomSize(20.0, 28.3);
                paper->accept();
            } else if (auto* progress = qobject_cast<QProgressDialog*>(modal); progress && !cancelled) {
                cancelled = true;
                auto* cancel = progress->findChild<QPushButton*>();
                ASSERT_NE(cancel, nullptr);
                cancel->click();
            } else if (qobject_cast<ScanProposalsDialog*>(modal)) {
                proposalsShown = true;
                qobject_cast<QDialog*>(modal)->accept();
            }
        },
        [&] { window->dispatch(DesignerCommand::ScanToTemplate); });

    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(proposalsShown);
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_TRUE(boxesInUse().empty());
    EXPECT_TRUE(doc().page() == pageBefore);
    EXPECT_EQ(history().undoCount(), stepsBefore);
}

// "扫描生成..." beside the background picture in page setup: the same flow;
// on OK the dialog closes with the scan's page and boxes as one undo step,
// and a cancelled scan leaves the dialog open and the document as it was.
TEST_F(ScanCommand, PageSetupScansBesideTheBackgroundPicture)
{
    const PageSettings pageBefore = doc().page();
    const std::size_t stepsBefore = history().undoCount();
    int scans = 0;          // scans that have returned
    bool scanning = false;  // a scan is under way
    bool cancelled = false;
    bool unchangedAfterCancel = false;
    std::size_t shownCount = 0;
    prompter.files = {std::string(kScan), std::string(kScan)};
    runWith(
        [&](QWidget* modal) {
            if (auto* setup = qobject_cast<PageSetupDialog*>(modal)) {
                if (scanning)
                    return;
                if (scans == 1) // back from the cancelled scan, the dialog still up
                    unchangedAfterCancel = doc().page() == pageBefore && boxesInUse().empty();
                if (scans >= 2) {
                    setup->reject(); // the second scan should have closed it
                    return;
                }
                EXPECT_EQ(setup->scanButton()->text(), QStringLiteral("扫描生成..."));
                scanning = true;
                // Clicked from the event loop: the scan runs modal windows of its own.
                QTimer::singleShot(0, setup, [&, setup] {
                    setup->scanButton()->click();
                    ++scans;
                    scanning = false;
                });
            } else if (auto* paper = qobject_cast<ScanPaperDialog*>(modal)) {
                choosePaper(*paper, "A4 21.0 × 29.7 厘米");
                paper->accept();
            } else if (auto* progress = qobject_cast<QProgressDialog*>(modal); progress && !cancelled) {
                cancelled = true;
                progress->findChild<QPushButton*>()->click();
            } else if (auto* proposals = qobject_cast<ScanProposalsDialog*>(modal); proposals && shownCount == 0) {
                shownCount = proposals->fields().size();
                QTest::mouseClick(proposals->view(), Qt::LeftButton, {}, proposals->centreOnView(0));
                proposals->accept();
            }
        },
        [&] { window->dispatch(DesignerCommand::PageSetup); });

    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(unchangedAfterCancel);
    EXPECT_EQ(scans, 2);
    ASSERT_GE(shownCount, 2u);
    EXPECT_EQ(boxesInUse().size(), shownCount - 1);
    EXPECT_NEAR(doc().page().pageWidth, 21.0, 1e-4);
    EXPECT_FALSE(doc().page().background.empty());
    EXPECT_FALSE(doc().page().isPrintBgPic);
    ASSERT_EQ(history().undoCount(), stepsBefore + 1);
    window->undoController()->undo();
    QApplication::processEvents();
    EXPECT_TRUE(boxesInUse().empty());
    EXPECT_TRUE(doc().page().background.empty());
}

// After a scan page setup names the background's file, and OK there keeps the scan.
TEST_F(ScanCommand, PageSetupShowsTheScansBackgroundFileAfterAScan)
{
    // A PNG scan is carried as a JPEG made from it: a copy of that is named.
    prompter.files = {std::string(kScan)};
    runWith(
        [&](QWidget* modal) {
            if (auto* paper = qobject_cast<ScanPaperDialog*>(modal)) {
                choosePaper(*paper, "A4 21.0 × 29.7 厘米");
                paper->accept();
            } else if (auto* proposals = qobject_cast<ScanProposalsDialog*>(modal)) {
                proposals->accept();
            }
        },
        [&] { window->dispatch(DesignerCommand::ScanToTemplate); });
    const std::string background = doc().page().background;
    ASSERT_FALSE(background.empty());
    const std::string path = doc().page().backgroundPath;
    ASSERT_FALSE(path.empty());
    std::ifstream copy(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), background);

    bool shown = false;
    runWith(
        [&](QWidget* modal) {
            if (auto* setup = qobject_cast<PageSetupDialog*>(modal)) {
                shown = setup->pathField()->text().toStdString() == path;
                auto* ok = setup->findChild<QPushButton*>(QStringLiteral("按钮_确定"));
                ASSERT_NE(ok, nullptr);
                ok->click();
            }
        },
        [&] { window->dispatch(DesignerCommand::PageSetup); });
    EXPECT_TRUE(shown);
    EXPECT_EQ(doc().page().background, background);
    EXPECT_EQ(doc().page().backgroundPath, path);
}

// Without a stated resolution the presets come in the order of how well
// they fit the scan's proportions; one off by more than 3 % is not chosen.
TEST(ScanPaper, PresetsFollowTheScansProportionsOrItsStatedSize)
{
    const std::string waybill = "运单 23.0 × 12.7 厘米";
    const std::string a4 = "A4 21.0 × 29.7 厘米";
    const std::string a5 = "A5 14.8 × 21.0 厘米";
    const std::string custom = "自定义";

    ScanPaperDialog wide(2300, 1270, 0, 0);
    EXPECT_EQ(wide.entries(), (std::vector<std::string>{waybill, "24.1 × 14.0 厘米", a4, a5, custom}));
    EXPECT_EQ(wide.chosenEntry(), 0);
    EXPECT_DOUBLE_EQ(wide.paper().widthCm, 23.0);

    // A4's proportions within 3 % (2.5 % off), with A5's nearly the same.
    ScanPaperDialog tall(1000, 1450, 0, 0);
    EXPECT_EQ(tall.entries().front(), a5);
    EXPECT_EQ(tall.entries()[1], a4);
    EXPECT_EQ(tall.chosenEntry(), 0);

    // Square: nothing within 3 %, so the custom size at the scan's proportions.
    ScanPaperDialog square(1000, 1000, 0, 0);
    EXPECT_EQ(square.entries().size(), 5u);
    EXPECT_EQ(square.chosenEntry(), 4);
    EXPECT_NEAR(square.paper().widthCm, square.paper().heightCm, 0.05);
    // 3.5 % wider than A4's proportions is not A4 any more.
    ScanPaperDialog offA4(7320, 10000, 0, 0);
    EXPECT_EQ(offA4.entries().front(), a4);
    EXPECT_EQ(offA4.chosenEntry(), 4);

    // A stated resolution gives the size itself: A4 at 150 dpi, or a size of its own.
    ScanPaperDialog stated(1240, 1754, 150, 150);
    EXPECT_EQ(stated.entries()[static_cast<std::size_t>(stated.chosenEntry())], a4);
    ScanPaperDialog own(1500, 900, 150, 150);
    EXPECT_EQ(own.chosenEntry(), 4);
    EXPECT_NEAR(own.paper().widthCm, 25.4, 0.05);
    EXPECT_NEAR(own.paper().heightCm, 15.2, 0.05);
}

TEST(ScanProposals, ClicksKeepDropAndRenameTheSmallestFieldUnderThePointer)
{
    ScriptedPrompter prompter;
    QImage scan(400, 200, QImage::Format_RGB888);
    scan.fill(Qt::white);
    // A check box inside a larger cell: a click on it is meant for the check box.
    std::vector<scan::ProposedField> fields{{{10, 10, 300, 100}, "cell", "备注", "备注"},
                                            {{50, 40, 20, 20}, "checkbox", "同意", "同意"}};
    ScanProposalsDialog dialog(scan, fields, prompter);
    EXPECT_EQ(dialog.fieldAt(QPoint(60, 50)), 1);
    EXPECT_EQ(dialog.fieldAt(QPoint(200, 50)), 0);
    EXPECT_EQ(dialog.fieldAt(QPoint(350, 150)), -1);

    dialog.toggle(1);
    ASSERT_EQ(dialog.keptFields().size(), 1u);
    EXPECT_EQ(dialog.keptFields()[0].column, "备注");
    // A cancelled or empty rename keeps the name.
    dialog.rename(0);
    prompter.texts = {"  "};
    dialog.rename(0);
    EXPECT_EQ(dialog.fields()[0].column, "备注");
    prompter.texts = {"客户备注："};
    dialog.rename(0);
    EXPECT_EQ(dialog.fields()[0].column, "客户备注");
}

} // namespace
} // namespace ordavel
