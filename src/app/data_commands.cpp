// The main window's data commands: opening a data file, the data panel, the
// preview of the current record and printing records as one job.
#include "app/main_window.h"

#include "data/data_source.h"
#include "data/format_check.h"
#include "data/text_fit_check.h"
#include "data/merge.h"
#include "designer/data_panel.h"
#include "designer/paper_panel.h"
#include "designer/toolbar_icons.h"
#include "designer/work_area.h"
#include "file/path_name.h"
#include "platform/print_measure.h"
#include "platform/batch_printer.h"
#include "platform/print_journal.h"
#include "platform/printer.h"
#include "platform/system_spooler.h"
#include "platform/window_print.h"
#include "platform/file_history.h"
#include "platform/prompter.h"

#include <QPrinter>
#include <QToolBar>

#include <filesystem>

namespace ordavel {

namespace {

const char* const kPrintCaption = "打印文件";

void tell(Prompter& prompter, const std::string& text, const char* caption, MessageIcon icon)
{
    prompter.show(Message{text, caption, icon, MessageButtons::Ok});
}

} // namespace

void MainWindow::setUpData()
{
    m_dataBar = new QToolBar(this);
    m_dataBar->setObjectName(QStringLiteral("工具条_数据"));
    m_dataBar->setWindowTitle(QStringLiteral("数据"));
    m_dataBar->setMovable(false);
    m_dataBar->setFloatable(false);
    m_dataBar->setIconSize(QSize(24, 24));
    m_dataBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_dataBar->toggleViewAction()->setVisible(false);
    QAction* command = m_dataBar->addAction(toolbarIcon(QStringLiteral("打开")), QStringLiteral("数据"));
    command->setToolTip(QStringLiteral("打开数据文件"));
    connect(command, &QAction::triggered, this, [this] { dispatch(DesignerCommand::Data); });
    addToolBar(Qt::TopToolBarArea, m_dataBar);

    // A window of its own beside the main window, so that the work area's
    // layout keeps the whole client area.
    m_dataPanel = new DataPanel(this);
    m_dataPanel->setFloating(true);
    m_dataPanel->hide();
    const auto repaintPreview = [this] {
        if (m_document.appMode() == AppMode::PreviewMode)
            m_workArea->paperPanel()->update();
    };
    connect(m_dataPanel, &DataPanel::currentRecordChanged, this, repaintPreview);
    connect(m_dataPanel, &DataPanel::copiesColumnChanged, this, repaintPreview);
}

void MainWindow::chooseDataFile()
{
    FileChoice choice;
    choice.title = "打开数据文件";
    choice.filter = "数据文件(*.csv;*.tsv;*.txt;*.xlsx;*.json;*.jsonl)|*.csv;*.tsv;*.txt;*.xlsx;*.json;*.jsonl|"
                    "所有文件(*.*)|*.*";
    const auto fileName = chooseFileFrom(m_prompter, choice, m_document.fileName());
    if (!fileName)
        return;
    std::string sheet;
    const std::vector<std::string> sheets = dataSheetNames(*fileName);
    if (sheets.size() > 1) {
        const auto chosen = m_prompter.chooseItem(
            "“" + pathOfName(*fileName).filename().string() + "”有 " + std::to_string(sheets.size())
                + " 个工作表，打开哪一个？",
            "选择工作表", sheets, 0);
        if (!chosen || *chosen < 0 || *chosen >= static_cast<int>(sheets.size()))
            return;
        sheet = sheets[static_cast<std::size_t>(*chosen)];
    }
    openDataFile(*fileName, sheet);
}

bool MainWindow::openDataFile(const std::string& fileName, const std::string& sheet)
{
    DataReadResult read = readDataFile(fileName, sheet);
    if (!read.ok()) {
        const std::string head = "数据文件读不出来：" + fileName;
        tell(m_prompter, read.error == head ? head : head + "\n" + read.error, "数据", MessageIcon::Stop);
        return false;
    }
    m_dataPanel->setData(std::make_shared<const DataTable>(std::move(read.table)),
                         QString::fromStdString(fileName), QString::fromStdString(read.sheet));
    m_workArea->paperPanel()->setBoxView([this] { return m_dataPanel->boxView(); });
    m_workArea->paperPanel()->setSheetRecords({[this] { return m_dataPanel->printedRows(); },
                                               [this] { return m_dataPanel->currentRow(); },
                                               [this](int row) { return m_dataPanel->recordView(row); }});
    showDataCheck();
    // The first time, over the lower right of the board: a floating window
    // left where it was made would sit on the toolbars.
    if (!m_dataPanelPlaced && m_dataPanel->isFloating()) {
        m_dataPanelPlaced = true;
        m_dataPanel->resize(520, 360);
        m_dataPanel->move(geometry().right() - 540, geometry().bottom() - 380);
    }
    m_dataPanel->show();
    return true;
}

std::vector<std::string> MainWindow::dataColumns() const
{
    return m_dataPanel->hasData() ? m_dataPanel->table()->columns() : std::vector<std::string>{};
}

void MainWindow::showDataCheck()
{
    if (!m_dataPanel)
        return; // a mode set while the window is being built
    const bool preview = m_document.appMode() == AppMode::PreviewMode && m_dataPanel->hasData();
    m_dataPanel->showCheck(preview ? checkFields(m_document, *m_dataPanel->table()).message() : std::string());
}

bool MainWindow::printRecords()
{
    const DataTable& table = *m_dataPanel->table();
    const FieldCheck check = checkFields(m_document, table);
    if (!check.ok()) {
        tell(m_prompter, check.message() + "\n没有打印。", kPrintCaption, MessageIcon::Stop);
        return false;
    }
    const int count = table.recordCount();
    const std::string current = std::to_string(m_dataPanel->currentRow() + 1);
    const auto answer = m_prompter.askText(
        "打印哪些记录？\n当前记录：" + current + "　全部记录：1-" + std::to_string(count)
            + "\n也可以输入记录列表，例如 1-50,75,100-",
        kPrintCaption, current);
    if (!answer)
        return false;
    const RecordSelection selection = parseRecordList(*answer == "全部" ? std::string() : *answer, count);
    if (!selection.error.empty()) {
        tell(m_prompter, selection.error, kPrintCaption, MessageIcon::Exclamation);
        return false;
    }
    std::string error;
    const std::vector<BatchItem> items = planBatch(table, selection.rows, m_dataPanel->copiesColumn(), error);
    int pages = 0;
    for (const auto& item : items)
        pages += item.copies;
    if (error.empty() && pages == 0)
        error = "没有要打印的记录";
    if (!error.empty()) {
        tell(m_prompter, error, kPrintCaption, MessageIcon::Exclamation);
        return false;
    }
    std::vector<int> rows;
    for (const auto& item : items)
        if (item.copies > 0)
            rows.push_back(item.row);
    auto problems = checkFieldFormats(m_document, table, rows, 10);
    if (problems.size() < 10) {
        PrintMeasure measure;
        for (FormatProblem& problem : checkTextFit(m_document, table, rows, measure.surface(), 10 - problems.size()))
            problems.push_back(std::move(problem));
    }
    if (!problems.empty()) {
        std::string text;
        for (const FormatProblem& problem : problems)
            text += problem.message() + "\n";
        tell(m_prompter, text + "没有打印。", kPrintCaption, MessageIcon::Stop);
        return false;
    }

    // A sheet of several forms may be partly used already.
    int startCell = 1;
    if (const SheetLayout& sheet = m_document.page().sheet; sheet.active()) {
        const std::string cells = std::to_string(sheet.cells());
        const auto cell = m_prompter.askText("从第几格开始打印？（1-" + cells + "，先横后竖）", kPrintCaption, "1");
        if (!cell)
            return false;
        char* end = nullptr;
        const long value = std::strtol(cell->c_str(), &end, 10);
        if (cell->empty() || *end != '\0' || value < 1 || value > sheet.cells()) {
            tell(m_prompter, "格号应为 1 到 " + cells + " 的整数", kPrintCaption, MessageIcon::Exclamation);
            return false;
        }
        startCell = static_cast<int>(value);
    }

    QPrinter printer(QPrinter::HighResolution);
    configurePrinter(printer, m_document.page());
    if (!m_prompter.choosePrinter(printer))
        return false;
    std::optional<WindowPrint> batch = beginPrint(printer, JournalKind::Batch, &table, items);
    if (!batch)
        return false;
    batch->startCell = startCell;
    const WindowPrintResult result = printInThisWindow(*batch, printer);
    if (!result.completed) {
        if (result.cancelled && result.pages > 0)
            tell(m_prompter, "打印已取消，这一批记录都没有送到打印机。", kPrintCaption, MessageIcon::Exclamation);
        return false;
    }
    std::string text = "已打印记录：" + recordListOf(items, 0) + "（共 " + std::to_string(result.pages) + " 页）";
    for (const auto& warning : result.warnings)
        text += "\n" + warning;
    tell(m_prompter, text, kPrintCaption, MessageIcon::Information);
    return true;
}

} // namespace ordavel
