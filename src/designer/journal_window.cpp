#include "designer/journal_window.h"

#include "data/merge.h"
#include "platform/batch_printer.h"
#include "platform/calibration_store.h"
#include "platform/print_journal.h"
#include "platform/printer.h"
#include "platform/prompter.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>

namespace ordavel {
namespace {

constexpr const char* kCaption = "打印记录";
constexpr double kPreviewDpi = 96.0;

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

QTableWidget* makeTable(const char* name, const QStringList& headers, QWidget* parent)
{
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setObjectName(QString::fromUtf8(name));
    table->setHorizontalHeaderLabels(headers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void setRow(QTableWidget* table, int row, const QStringList& cells)
{
    for (int column = 0; column < static_cast<int>(cells.size()); ++column)
        table->setItem(row, column, new QTableWidgetItem(cells[column]));
}

QString valuesText(const JournalValues& values)
{
    QStringList parts;
    for (const auto& value : values)
        parts << qs(value.value);
    return parts.join(QStringLiteral(" | "));
}

} // namespace

JournalWindow::JournalWindow(Prompter& prompter, std::string journalPath, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_path(std::move(journalPath))
{
    setObjectName(QStringLiteral("窗口_打印记录"));
    setWindowTitle(QString::fromUtf8(kCaption));
    resize(960, 640);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("编辑框_搜索"));
    m_search->setPlaceholderText(QStringLiteral("搜索打印的内容"));
    m_switch = new QCheckBox(QStringLiteral("记录打印"), this);
    m_switch->setObjectName(QStringLiteral("选择框_记录打印"));
    m_switch->setChecked(!Journal::isOff(m_path));
    m_reprint = new QPushButton(QStringLiteral("重新打印"), this);
    m_reprint->setObjectName(QStringLiteral("按钮_重新打印"));

    m_jobs = makeTable("列表_打印任务",
                       {QStringLiteral("时间"), QStringLiteral("程序"), QStringLiteral("打印机"),
                        QStringLiteral("模板"), QStringLiteral("记录"), QStringLiteral("结果")},
                       this);
    m_jobs->setSelectionMode(QAbstractItemView::SingleSelection);
    m_records = makeTable("列表_记录",
                          {QStringLiteral("序号"), QStringLiteral("记录"), QStringLiteral("结果"),
                           QStringLiteral("内容")},
                          this);
    m_records->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("画板_记录预览"));
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setMinimumSize(280, 280);

    auto* top = new QHBoxLayout;
    top->addWidget(m_search, 1);
    top->addWidget(m_switch);
    top->addWidget(m_reprint);
    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(m_records);
    lower->addWidget(m_preview);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_jobs);
    split->addWidget(lower);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);

    connect(m_search, &QLineEdit::textChanged, this, [this] { refresh(); });
    connect(m_jobs, &QTableWidget::currentCellChanged, this, [this] { showJob(); });
    connect(m_records, &QTableWidget::currentCellChanged, this, [this] { showPreview(); });
    connect(m_reprint, &QPushButton::clicked, this, [this] { reprintSelected(); });
    connect(m_switch, &QCheckBox::toggled, this, [this](bool on) {
        if (const std::string error = Journal::setOff(!on, m_path); !error.empty())
            tell("无法切换打印记录：" + error);
    });
    refresh();
}

JournalWindow::~JournalWindow() = default;

void JournalWindow::tell(const std::string& text)
{
    m_prompter.show(Message{text, kCaption, MessageIcon::Exclamation, MessageButtons::Ok});
}

Journal* JournalWindow::journal()
{
    if (m_journal)
        return m_journal.get();
    // Looking does not create a journal that was never written.
    std::error_code ec;
    if (!std::filesystem::exists(m_path, ec))
        return nullptr;
    auto opened = Journal::open(m_path);
    if (!opened.journal) {
        tell("无法打开打印记录：" + opened.error);
        return nullptr;
    }
    m_journal = std::move(opened.journal);
    if (const std::string notice = m_journal->takeNotice(); !notice.empty())
        tell(notice);
    return m_journal.get();
}

void JournalWindow::refresh()
{
    const JournalJobId chosen = m_job.id;
    m_jobList.clear();
    if (Journal* j = journal()) {
        JournalQuery query;
        query.search = m_search->text().trimmed().toStdString();
        auto listed = j->listJobs(query);
        if (!listed.ok())
            tell("无法读取打印记录：" + listed.error);
        m_jobList = std::move(listed.value);
    }
    const QSignalBlocker block(m_jobs);
    m_jobs->setRowCount(static_cast<int>(m_jobList.size()));
    int current = m_jobList.empty() ? -1 : 0;
    for (int row = 0; row < static_cast<int>(m_jobList.size()); ++row) {
        const JournalJob& job = m_jobList[static_cast<std::size_t>(row)];
        if (job.id == chosen)
            current = row;
        setRow(m_jobs, row,
               {qs(formatJournalTime(job.createdAt)), qs(job.program), qs(job.printer), qs(job.templateName),
                QString::number(job.recordCount), qs(std::string(outcomeName(job.outcome)))});
    }
    m_jobs->setCurrentCell(current, 0);
    showJob();
}

void JournalWindow::showJob()
{
    const int row = m_jobs->currentRow();
    m_recordList.clear();
    m_docLoaded = false;
    m_job = JournalJob{};
    if (row >= 0 && row < static_cast<int>(m_jobList.size()) && journal()) {
        m_job = m_jobList[static_cast<std::size_t>(row)];
        auto records = m_journal->records(m_job.id);
        if (!records.ok())
            tell("无法读取打印记录：" + records.error);
        m_recordList = std::move(records.value);
        std::string error;
        m_docLoaded = loadJournalTemplate(*m_journal, m_job, m_doc, error);
        if (!m_docLoaded && m_job.kind != "calibration")
            tell("无法预览任务 " + std::to_string(m_job.id) + "：" + error);
        m_table = tableOfRecords(m_recordList, m_job.dataSource);
    }
    const QSignalBlocker block(m_records);
    m_records->setRowCount(static_cast<int>(m_recordList.size()));
    for (int i = 0; i < static_cast<int>(m_recordList.size()); ++i) {
        const JournalRecord& record = m_recordList[static_cast<std::size_t>(i)];
        setRow(m_records, i,
               {QString::number(record.index + 1), QString::number(record.number),
                qs(std::string(outcomeName(record.outcome))), valuesText(record.fields)});
    }
    m_records->setCurrentCell(m_recordList.empty() ? -1 : 0, 0);
    showPreview();
}

void JournalWindow::showPreview()
{
    const int row = m_records->currentRow();
    m_previewImage = QImage();
    m_preview->clear();
    if (!m_docLoaded || row < 0 || row >= static_cast<int>(m_recordList.size()))
        return;
    const JournalRecord& record = m_recordList[static_cast<std::size_t>(row)];
    const PageSettings& page = m_doc.page();
    const auto pixels = [](float cm) { return std::max(1, static_cast<int>(std::lround(cm / 2.54 * kPreviewDpi))); };
    QImage image(pixels(page.pageWidth), pixels(page.pageHeight), QImage::Format_RGB32);
    const int dotsPerMetre = static_cast<int>(std::lround(kPreviewDpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    // The record's stored columns and counter values merged as they printed.
    const DataTable none;
    const bool page1 = m_recordList.size() == 1 && record.columns.empty() && record.number == 0;
    RecordMerge merge(page1 ? none : m_table, page1);
    if (!page1)
        merge.setRecord(row, record.number);
    RecordMerge::CounterValues counters;
    for (const auto& counter : record.counters)
        counters.emplace_back(counter.name, counter.value);
    merge.setCounterValues(counters);
    {
        QPainter painter(&image);
        printPageOn(painter, m_doc, Calibration{}, {}, [&merge](const Box& box) -> const Box& {
            return merge.merged(box);
        });
    }
    m_previewImage = image;
    m_preview->setPixmap(QPixmap::fromImage(image).scaled(m_preview->size(), Qt::KeepAspectRatio,
                                                          Qt::SmoothTransformation));
}

bool JournalWindow::reprintSelected()
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_records->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    if (m_job.id == 0 || rows.empty()) {
        tell("请先选择要重新打印的记录。");
        return false;
    }
    if (m_job.kind == "calibration") {
        tell("校准页请在“打印机校准”中重新打印。");
        return false;
    }
    if (!m_docLoaded) {
        std::string error;
        loadJournalTemplate(*m_journal, m_job, m_doc, error);
        tell("无法重新打印任务 " + std::to_string(m_job.id) + "：" + error);
        return false;
    }

    QPrinter printer(QPrinter::HighResolution);
    configurePrinter(printer, m_doc.page());
    if (!m_prompter.choosePrinter(printer))
        return false;
    Calibration calibration;
    if (printer.outputFormat() == QPrinter::NativeFormat && !printer.printerName().isEmpty()) {
        const StoredCalibration stored = CalibrationStore().load(printer.printerName().toStdString());
        if (!stored.error.empty())
            tell("打印机校准无法使用，本次不校准打印：" + stored.error);
        calibration = stored.calibration.value_or(Calibration{});
    }
    const JournalReprint plan
        = planReprint(*m_journal, m_job, m_recordList, rows, "designer",
                      calibration.isIdentity() ? std::string() : describeCalibration(calibration));
    auto entry = std::make_unique<PrintJournalEntry>(m_path);
    const std::string printerName = journalPrinterName(printer);
    bool printed = false;
    if (plan.page) {
        entry->begin(plan.print, m_doc, nullptr, {}, printerName, plan.counters);
        const DataTable none;
        RecordMerge merge(none, true);
        merge.setCounterValues(entry->countersOf(0));
        printer.setCopyCount(plan.records[0].copies);
        printer.setDocName(qs(entry->cupsJobName(0, 0, m_job.templateName)));
        const std::time_t began = std::time(nullptr);
        printed = printDocument(m_doc, printer, this, calibration, &m_prompter,
                                [&merge](const Box& box) -> const Box& { return merge.merged(box); });
        if (printed)
            entry->handedOver(0, 0, printer.outputFormat() != QPrinter::NativeFormat,
                              printer.printerName().toStdString(), printer.docName().toStdString(), began);
        else
            entry->failed(0, 0, JournalOutcome::Cancelled, "not printed");
    } else {
        entry->begin(plan.print, m_doc, &plan.table, plan.items, printerName, plan.counters);
        printer.setDocName(qs(m_job.templateName));
        const BatchPrintResult result
            = printBatchJob(m_doc, plan.table, plan.items, printer, this, calibration, entry.get());
        printed = result.completed;
        if (!printed && result.pages > 0)
            tell("重新打印没有完成。");
    }
    if (const std::string problem = entry->takeProblem(); !problem.empty())
        m_prompter.show(journalProblemMessage(problem));
    settleLater(std::move(entry), [this](const std::string& problem) { m_prompter.show(journalProblemMessage(problem)); },
                this);
    m_job.id = 0; // the new job comes first
    refresh();
    return printed;
}

} // namespace ordavel
