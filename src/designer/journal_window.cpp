#include "designer/journal_window.h"

#include "data/merge.h"
#include "platform/batch_printer.h"
#include "platform/journal_worker.h"
#include "shop/users_journal.h"
#include "platform/calibration_store.h"
#include "platform/print_journal.h"
#include "platform/window_print.h"
#include "platform/paper_question.h"
#include "platform/printer.h"
#include "platform/system_spooler.h"
#include "platform/prompter.h"
#if ORDAVEL_SHOP_JOURNAL
#include "journal/postgres/pg_print_queue.h"
#endif

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QHelpEvent>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <utility>
#include <functional>

namespace ordavel {
namespace {

constexpr const char* kCaption = "打印记录";
// The jobs' columns and the records'.
enum JobColumn { kJobNumber, kJobTime, kJobUser, kJobProgram, kJobKind, kJobPrinter, kJobTemplate, kJobRecords,
                 kJobOutcome, kJobStation };
enum RecordColumn { kRecordIndex, kRecordNumber, kRecordOutcome, kRecordContent };
constexpr int kPollMs = 1000;
constexpr int kSettleTicks = 5; // CUPS is asked about jobs left printing every fifth poll

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
    table->setWordWrap(false);
    table->setTextElideMode(Qt::ElideRight);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    table->horizontalHeader()->setStretchLastSection(true);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    return table;
}

void setRow(QTableWidget* table, int row, const QStringList& cells)
{
    for (int column = 0; column < static_cast<int>(cells.size()); ++column) {
        if (QTableWidgetItem* item = table->item(row, column))
            item->setText(cells[column]);
        else
            table->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
}

// A value on one line: its line breaks shown as "⏎".
QString oneLine(const std::string& text)
{
    QString line = qs(text);
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    line.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    line.replace(QLatin1Char('\n'), QStringLiteral("⏎"));
    return line;
}

QString valuesText(const JournalValues& values)
{
    QStringList parts;
    for (const auto& value : values)
        parts << oneLine(value.value);
    return parts.join(QStringLiteral(" | "));
}

// The preview's pane: the page drawn for it, centred; a new size asks for
// the page to be drawn again at that size.
class PreviewPane : public QWidget {
public:
    explicit PreviewPane(QWidget* parent) : QWidget(parent) {}
    std::function<void()> resized;
    QImage image;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(QPalette::Mid));
        if (image.isNull())
            return;
        const QSize shown = image.size() / image.devicePixelRatio();
        painter.drawImage(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), image);
    }
    void resizeEvent(QResizeEvent*) override
    {
        if (resized)
            resized();
    }
};

} // namespace

QString JournalWindow::outcomeCaption(JournalOutcome outcome)
{
    switch (outcome) {
    case JournalOutcome::Queued: return QStringLiteral("等待打印");
    case JournalOutcome::Printing: return QStringLiteral("正在打印");
    case JournalOutcome::Printed: return QStringLiteral("已打印");
    case JournalOutcome::Failed: return QStringLiteral("打印失败");
    case JournalOutcome::Cancelled: return QStringLiteral("已取消");
    case JournalOutcome::Expired: return QStringLiteral("已过期");
    }
    return {};
}

QString JournalWindow::programCaption(const std::string& program)
{
    if (program == "designer")
        return QStringLiteral("设计器");
    if (program == "tool")
        return QStringLiteral("命令行工具");
    if (program == "service")
        return QStringLiteral("打印服务");
    return qs(program);
}

QString JournalWindow::kindCaption(const JournalJob& job)
{
    if (job.repeats > 0)
        return QStringLiteral("重新打印任务 %1").arg(job.repeats);
    if (job.kind == "page")
        return QStringLiteral("单页");
    if (job.kind == "batch")
        return QStringLiteral("批量");
    if (job.kind == "calibration")
        return QStringLiteral("校准页");
    if (job.kind == "reprint")
        return QStringLiteral("重新打印");
    return qs(job.kind);
}

JournalWindow::JournalWindow(Prompter& prompter, JournalSession& session, QWidget* parent)
    : QDialog(parent), m_prompter(prompter), m_session(session), m_path(session.path())
{
    setObjectName(QStringLiteral("窗口_打印记录"));
    setWindowTitle(QString::fromUtf8(kCaption));
    resize(1180, 720);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("编辑框_搜索"));
    m_search->setPlaceholderText(QStringLiteral("搜索打印的内容、模板或打印机（多个词用空格分开）"));
    m_switch = new QCheckBox(QStringLiteral("记录打印"), this);
    m_switch->setObjectName(QStringLiteral("选择框_记录打印"));
    m_switch->setChecked(!Journal::isOff(m_path));
    m_reprint = new QPushButton(QStringLiteral("重新打印"), this);
    m_reprint->setObjectName(QStringLiteral("按钮_重新打印"));
    m_settleUncertain = new QPushButton(QStringLiteral("处理不确定的记录"), this);
    m_settleUncertain->setObjectName(QStringLiteral("按钮_处理不确定的记录"));
    m_settleUncertain->hide();

    m_jobs = makeTable("列表_打印任务",
                       {QStringLiteral("任务号"), QStringLiteral("时间"), QStringLiteral("用户"),
                        QStringLiteral("程序"), QStringLiteral("类型"), QStringLiteral("打印机"),
                        QStringLiteral("模板"), QStringLiteral("记录"), QStringLiteral("结果"),
                        QStringLiteral("站点")},
                       this);
    // A shop's stations: a column and a filter, shown only in a shop.
    m_station = new QComboBox(this);
    m_station->setObjectName(QStringLiteral("下拉框_站点"));
    m_station->addItem(QStringLiteral("全部站点"));
    m_jobs->setSelectionMode(QAbstractItemView::SingleSelection);
    m_records = makeTable("列表_记录",
                          {QStringLiteral("序号"), QStringLiteral("记录"), QStringLiteral("结果"),
                           QStringLiteral("内容")},
                          this);
    m_records->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_records->viewport()->installEventFilter(this);
    auto* pane = new PreviewPane(this);
    pane->setObjectName(QStringLiteral("画板_记录预览"));
    pane->setMinimumSize(280, 200);
    pane->resized = [this] { showPreview(); };
    m_preview = pane;
    m_background = new QCheckBox(QStringLiteral("显示背景图片"), this);
    m_background->setObjectName(QStringLiteral("选择框_显示背景图"));
    m_background->setChecked(true);

    auto* top = new QHBoxLayout;
    top->addWidget(m_search, 1);
    top->addWidget(m_station);
    top->addWidget(m_switch);
    top->addWidget(m_settleUncertain);
    top->addWidget(m_reprint);
    auto* previewBox = new QWidget(this);
    auto* previewLayout = new QVBoxLayout(previewBox);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addWidget(m_background, 0, Qt::AlignRight);
    previewLayout->addWidget(m_preview, 1);
    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(m_records);
    lower->addWidget(previewBox);
    lower->setStretchFactor(0, 1);
    lower->setStretchFactor(1, 1);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_jobs);
    split->addWidget(lower);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);

    connect(m_search, &QLineEdit::textChanged, this, [this] { refresh(); });
    connect(m_station, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(m_jobs, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous) {
        if (row != previous)
            showJob();
    });
    connect(m_records, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous) {
        if (row != previous)
            showPreview();
    });
    connect(m_reprint, &QPushButton::clicked, this, [this] { reprintSelected(); });
    connect(m_settleUncertain, &QPushButton::clicked, this, [this] { settleUncertain(); });
    connect(m_background, &QCheckBox::toggled, this, [this] { showPreview(); });
    connect(m_switch, &QCheckBox::toggled, this, [this](bool on) {
        if (const std::string error = Journal::setOff(!on, m_path); !error.empty())
            tell("无法切换打印记录：" + error);
    });
    m_poll = new QTimer(this);
    m_poll->setObjectName(QStringLiteral("计时器_刷新"));
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, [this] {
        if (!isVisible())
            return;
        pollChanges();
        if (++m_ticks % kSettleTicks == 0)
            settleUnfinished();
    });
    m_poll->start();
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
    const auto shop = joinedShop();
    std::error_code ec;
    if (shop.ok() && !shop.value() && !std::filesystem::exists(m_path, ec))
        return nullptr;
    auto opened = openUsersJournal(m_path);
    if (!opened.journal) {
        // Asked again at every refresh: told once.
        if (!std::exchange(m_toldUnopened, true))
            tell("无法打开打印记录：" + opened.error);
        return nullptr;
    }
    m_toldUnopened = false;
    m_journal = std::move(opened.journal);
    if (const std::string notice = m_journal->takeNotice(); !notice.empty())
        tell(notice);
    return m_journal.get();
}


bool JournalWindow::pollChanges()
{
    Journal* j = journal();
    if (j == nullptr)
        return false;
    const auto changes = j->changeCount();
    if (!changes.ok() || changes.value == m_seenChanges)
        return false;
    if (m_seenChanges < 0) { // the journal was just made by a print
        refresh();
        return true;
    }
    m_seenChanges = changes.value;
    // What can have changed: the jobs written since (listed first) and the
    // jobs not finished at the last reading. A finished job stays as it is,
    // and a long list is not read again for every record printed.
    JournalQuery query;
    query.search = m_search->text().trimmed().toStdString();
    query.station = chosenStation();
    for (const JournalJob& job : m_jobList)
        query.after = std::max(query.after, job.id);
    auto fresh = j->listJobs(query);
    if (!fresh.ok())
        fresh.value.clear();
    bool chosenChanged = false;
    std::vector<int> changedRows;
    for (int row = 0; row < static_cast<int>(m_jobList.size()); ++row) {
        JournalJob& job = m_jobList[static_cast<std::size_t>(row)];
        if (isFinal(job.outcome))
            continue;
        const auto now = j->job(job.id);
        if (!now.ok() || !now.value)
            continue;
        job = *now.value;
        changedRows.push_back(row);
        chosenChanged = chosenChanged || job.id == m_job.id;
    }
    const int added = static_cast<int>(fresh.value.size());
    m_jobList.insert(m_jobList.begin(), std::make_move_iterator(fresh.value.begin()),
                     std::make_move_iterator(fresh.value.end()));
    {
        const QSignalBlocker block(m_jobs);
        const int current = m_jobs->currentRow();
        for (int i = 0; i < added; ++i)
            m_jobs->insertRow(0);
        for (int row = 0; row < added; ++row)
            fillJobRow(row);
        for (const int row : changedRows)
            fillJobRow(row + added);
        sizeJobColumns(true);
        if (current >= 0)
            m_jobs->setCurrentCell(current + added, m_jobs->currentColumn());
        else if (added > 0)
            m_jobs->setCurrentCell(0, 0);
    }
    if (chosenChanged)
        showJob(true);
    else if (m_job.id == 0 && added > 0)
        showJob();
    return true;
}

std::shared_future<void> JournalWindow::settleUnfinished()
{
    if (m_settling.valid() && m_settling.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return m_settling;
    std::vector<JournalJobId> open;
    for (const JournalJob& job : m_jobList)
        if (!isFinal(job.outcome))
            open.push_back(job.id);
    if (open.empty())
        return {};
    // A job of a program still running (this designer's own, the print
    // service's) is left to it.
    std::string problem;
    const std::shared_ptr<Journal> journal = m_session.journal(problem);
    if (!journal)
        return {};
    m_settling = m_session.worker()
                     ->post([journal, open = std::move(open)] {
                         std::string error;
                         for (const JournalJobId id : open)
                             settleFromCups(*journal, id, false, error);
                     })
                     .share();
    return m_settling;
}

std::string JournalWindow::chosenStation() const
{
    return m_station->currentIndex() > 0 ? m_station->currentText().toStdString() : std::string();
}

void JournalWindow::showStations(Journal& journal)
{
    // Outside a shop there are none: no column, no filter.
    const auto stations = journal.stations();
    const bool inShop = !journal.station().empty() || (stations.ok() && !stations.value.empty());
    m_jobs->setColumnHidden(kJobStation, !inShop);
    m_station->setVisible(inShop);
    if (!inShop)
        return;
    const QString chosen = m_station->currentText();
    const QSignalBlocker block(m_station);
    while (m_station->count() > 1)
        m_station->removeItem(1);
    for (const JournalStation& station : stations.value)
        m_station->addItem(qs(station.name));
    m_station->setCurrentIndex(std::max(0, m_station->findText(chosen)));
}

void JournalWindow::fillJobRow(int row)
{
    const JournalJob& job = m_jobList[static_cast<std::size_t>(row)];
    const QString records = job.printedCount == job.recordCount || job.outcome == JournalOutcome::Queued
                                ? QString::number(job.recordCount)
                                : QStringLiteral("%1/%2").arg(job.printedCount).arg(job.recordCount);
    setRow(m_jobs, row,
           {QString::number(job.id), qs(formatJournalTime(job.createdAt)), qs(job.user), programCaption(job.program),
            kindCaption(job), qs(job.printer), qs(job.templateName), records, outcomeCaption(job.outcome),
            qs(job.station)});
    m_jobs->item(row, kJobNumber)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_jobs->item(row, kJobRecords)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_jobs->item(row, kJobOutcome)->setToolTip(oneLine(job.reason));
    m_jobs->item(row, kJobPrinter)->setToolTip(qs(job.printer));
    m_jobs->item(row, kJobTemplate)->setToolTip(qs(job.templatePath));
}

void JournalWindow::sizeJobColumns(bool growOnly)
{
    // Each column as wide as what it shows; read again as jobs change, a
    // column only grows, so that one the user widened stays as it is.
    for (int column = 0; column < m_jobs->columnCount(); ++column) {
        const int was = m_jobs->columnWidth(column);
        m_jobs->resizeColumnToContents(column);
        if (growOnly && m_jobs->columnWidth(column) < was)
            m_jobs->setColumnWidth(column, was);
    }
}

void JournalWindow::refresh()
{
    const JournalJobId chosen = m_job.id;
    m_jobList.clear();
    if (Journal* j = journal()) {
        // Read before the listing: a write in between is read at the next poll.
        if (const auto changes = j->changeCount(); changes.ok())
            m_seenChanges = changes.value;
        showStations(*j);
        JournalQuery query;
        query.search = m_search->text().trimmed().toStdString();
        query.station = chosenStation();
        auto listed = j->listJobs(query);
        if (!listed.ok())
            tell("无法读取打印记录：" + listed.error);
        m_jobList = std::move(listed.value);
    }
    const QSignalBlocker block(m_jobs);
    m_jobs->setRowCount(static_cast<int>(m_jobList.size()));
    int current = m_jobList.empty() ? -1 : 0;
    for (int row = 0; row < static_cast<int>(m_jobList.size()); ++row) {
        if (m_jobList[static_cast<std::size_t>(row)].id == chosen)
            current = row;
        fillJobRow(row);
    }
    sizeJobColumns(false);
    m_jobs->setCurrentCell(current, 0);
    showJob();
}

void JournalWindow::showJob(bool keepChoice)
{
    const int row = m_jobs->currentRow();
    // What was chosen of the same job stays chosen when it is read again.
    std::vector<int> chosenRows;
    const int currentRecord = m_records->currentRow();
    if (keepChoice)
        for (const QModelIndex& index : m_records->selectionModel()->selectedRows())
            chosenRows.push_back(index.row());
    const JournalJobId before = m_job.id;
    m_recordList.clear();
    m_job = JournalJob{};
    if (row >= 0 && row < static_cast<int>(m_jobList.size()) && journal()) {
        m_job = m_jobList[static_cast<std::size_t>(row)];
        auto records = m_journal->records(m_job.id);
        if (!records.ok())
            tell("无法读取打印记录：" + records.error);
        m_recordList = std::move(records.value);
        // The template of a job read again is the same: not loaded (or told of) again.
        if (!keepChoice || before != m_job.id) {
            std::string error;
            m_docLoaded = loadJournalTemplate(*m_journal, m_job, m_doc, error);
            if (!m_docLoaded && m_job.kind != "calibration")
                tell("无法预览任务 " + std::to_string(m_job.id) + "：" + error);
        }
        m_table = tableOfRecords(m_recordList, m_job.dataSource);
    } else {
        m_docLoaded = false;
    }
    readUncertain();
    const QSignalBlocker block(m_records);
    m_records->setRowCount(static_cast<int>(m_recordList.size()));
    for (int i = 0; i < static_cast<int>(m_recordList.size()); ++i) {
        const JournalRecord& record = m_recordList[static_cast<std::size_t>(i)];
        setRow(m_records, i,
               {QString::number(record.index + 1),
                record.number > 0 ? QString::number(record.number) : QString(), // a page without data: none
                outcomeCaption(record.outcome),
                valuesText(record.fields)});
        m_records->item(i, kRecordOutcome)->setToolTip(oneLine(record.reason));
        if (const auto where = m_uncertain.find(record.index + 1); where != m_uncertain.end()) {
            m_records->item(i, kRecordOutcome)->setText(QStringLiteral("不确定"));
            m_records->item(i, kRecordOutcome)
                ->setToolTip(QString::fromStdString("交给了 " + where->second + " 后，该工作站停止了应答"));
        }
    }
    m_records->resizeColumnToContents(kRecordIndex);
    m_records->resizeColumnToContents(kRecordNumber);
    m_records->resizeColumnToContents(kRecordOutcome);
    if (keepChoice && currentRecord >= 0 && currentRecord < m_records->rowCount()) {
        m_records->setCurrentCell(currentRecord, 0, QItemSelectionModel::NoUpdate);
        m_records->clearSelection();
        for (const int chosen : chosenRows)
            if (chosen < m_records->rowCount())
                m_records->selectionModel()->select(m_records->model()->index(chosen, 0),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    } else {
        chooseMatchingRecord();
    }
    showPreview();
}

void JournalWindow::chooseMatchingRecord()
{
    int first = m_recordList.empty() ? -1 : 0;
    const std::string search = m_search->text().trimmed().toStdString();
    if (first >= 0 && !search.empty() && m_journal) {
        const auto matching = m_journal->matchingRecords(m_job.id, search);
        if (matching.ok() && !matching.value.empty()) {
            // The record's row: its position among the job's records.
            for (int i = 0; i < static_cast<int>(m_recordList.size()); ++i)
                if (m_recordList[static_cast<std::size_t>(i)].index == matching.value.front()) {
                    first = i;
                    break;
                }
        }
    }
    m_records->setCurrentCell(first, 0);
    if (first >= 0)
        m_records->scrollToItem(m_records->item(first, 0), QAbstractItemView::PositionAtCenter);
}

QString JournalWindow::contentToolTip(int row) const
{
    if (row < 0 || row >= static_cast<int>(m_recordList.size()))
        return {};
    const QTableWidgetItem* item = m_records->item(row, kRecordContent);
    if (item == nullptr)
        return {};
    // The cell shows its text on one line within the column, less the margins.
    const int room = m_records->columnWidth(kRecordContent)
                     - 2 * (m_records->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_records) + 1);
    const JournalRecord& record = m_recordList[static_cast<std::size_t>(row)];
    bool multiLine = false;
    for (const auto& field : record.fields)
        multiLine = multiLine || field.value.find_first_of("\r\n") != std::string::npos;
    if (!multiLine && m_records->fontMetrics().horizontalAdvance(item->text()) <= room)
        return {};
    QStringList lines;
    for (const auto& field : record.fields)
        lines << qs(field.value);
    return lines.join(QLatin1Char('\n'));
}

bool JournalWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_records->viewport() && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = m_records->indexAt(help->pos());
        if (index.isValid() && index.column() == kRecordContent) {
            const QString tip = contentToolTip(index.row());
            if (tip.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), tip, m_records->viewport(),
                                   m_records->visualRect(index));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void JournalWindow::showPreview()
{
    const int row = m_records->currentRow();
    auto* pane = static_cast<PreviewPane*>(m_preview);
    m_previewImage = QImage();
    pane->image = QImage();
    pane->update();
    if (!m_docLoaded || row < 0 || row >= static_cast<int>(m_recordList.size()))
        return;
    const JournalRecord& record = m_recordList[static_cast<std::size_t>(row)];
    const PageSettings& page = m_doc.page();
    if (page.pageWidth <= 0 || page.pageHeight <= 0)
        return;
    // The page as large as the pane holds it, in the screen's own pixels.
    const double ratio = pane->devicePixelRatioF();
    const double fit = std::min(pane->width() / (page.pageWidth / 2.54), pane->height() / (page.pageHeight / 2.54));
    const double dpi = std::max(8.0, fit * ratio);
    const auto pixels = [dpi](float cm) { return std::max(1, static_cast<int>(std::floor(cm / 2.54 * dpi))); };
    QImage image(pixels(page.pageWidth), pixels(page.pageHeight), QImage::Format_RGB32);
    const int dotsPerMetre = static_cast<int>(std::lround(dpi / 0.0254));
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
        // The form's background drawn under the boxes when the switch is on,
        // whether or not the template prints it.
        const bool printsBackground = m_doc.page().isPrintBgPic;
        m_doc.page().isPrintBgPic = m_background->isChecked();
        QPainter painter(&image);
        printPageOn(painter, m_doc, Calibration{}, {}, [&merge](const Box& box) -> const Box& {
            return merge.merged(box);
        });
        m_doc.page().isPrintBgPic = printsBackground;
    }
    m_previewImage = image;
    image.setDevicePixelRatio(ratio);
    pane->image = image;
}

// The shop this station joined: where a shop queue's job is decided.
std::string JournalWindow::shopUrl() const
{
    const auto shop = joinedShop();
    return shop.ok() && shop.value() ? shop.value()->connection : std::string();
}

void JournalWindow::readUncertain()
{
    m_uncertain.clear();
#if ORDAVEL_SHOP_JOURNAL
    if (m_job.id != 0 && postgres_journal::inShopQueue(m_job) && !isFinal(m_job.outcome))
        if (const std::string url = shopUrl(); !url.empty()) {
            std::string error;
            if (const auto state = postgres_journal::queuedJobState(url, m_job.id, error))
                for (const postgres_journal::UncertainRecord& r : state->uncertain)
                    m_uncertain[r.n] = r.station + "/" + r.printer;
        }
#endif
    m_settleUncertain->setVisible(!m_uncertain.empty());
}

bool JournalWindow::settleUncertain()
{
#if ORDAVEL_SHOP_JOURNAL
    if (m_uncertain.empty())
        return false;
    std::vector<int> chosen;
    for (const QModelIndex& index : m_records->selectionModel()->selectedRows()) {
        const int n = m_recordList[static_cast<std::size_t>(index.row())].index + 1;
        if (m_uncertain.count(n) > 0)
            chosen.push_back(n);
    }
    std::sort(chosen.begin(), chosen.end());
    const std::size_t count = chosen.empty() ? m_uncertain.size() : chosen.size();
    const std::string where = m_uncertain.at(chosen.empty() ? m_uncertain.begin()->first : chosen.front());
    const MessageAnswer answer = m_prompter.show(
        Message{"任务 " + std::to_string(m_job.id) + " 有 " + std::to_string(count) + " 条记录交给了 " + where
                    + " 后，该工作站停止了应答，不知道是否打印出来。\r\n请看过纸张再选择：选“是”记为已打印；选“否”放回打印队列，再打印一次。",
                kCaption, MessageIcon::Question, MessageButtons::YesNoCancel});
    if (answer != MessageAnswer::Yes && answer != MessageAnswer::No)
        return false;
    std::string error;
    const auto decided = postgres_journal::decideUncertain(
        shopUrl(), m_job.id, chosen,
        answer == MessageAnswer::Yes ? postgres_journal::UncertainDecision::Printed
                                     : postgres_journal::UncertainDecision::PrintAgain,
        error);
    if (!decided) {
        tell("无法处理不确定的记录：" + error);
        return false;
    }
    const JournalJobId id = m_job.id;
    refresh();
    // The same job stays chosen, to see what became of its records.
    for (int row = 0; row < static_cast<int>(m_jobList.size()); ++row)
        if (m_jobList[static_cast<std::size_t>(row)].id == id)
            m_jobs->setCurrentCell(row, 0);
    return *decided > 0;
#else
    return false;
#endif
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
    if (!paperAccepted(printer, jobPaper(m_doc.page(), calibration.pageLengthMm), m_prompter))
        return false;
    const JournalReprint plan
        = planReprint(*m_journal, m_job, m_recordList, rows, "designer",
                      calibration.isIdentity() ? std::string() : describeCalibration(calibration));
    const auto entry = m_session.runJournal();
    const std::string printerName = destinationOf(printer);
    WindowPrint again;
    again.doc = &m_doc;
    again.calibration = calibration;
    again.journal = entry;
    again.worker = m_session.worker();
    again.name = m_job.templateName;
    if (plan.page) {
        entry->begin(plan.print, m_doc, nullptr, {}, printerName, plan.counters);
        again.copies = plan.records[0].copies;
    } else {
        entry->begin(plan.print, m_doc, &plan.table, plan.items, printerName, plan.counters);
        again.table = &plan.table;
        again.items = plan.items;
        again.cells = plan.cells;
    }
    const WindowPrintResult result = printInWindow(
        again, printer, this, &m_prompter,
        [this](const std::string& told) { m_prompter.show(journalProblemMessage(told)); }, this);
    const bool printed = result.completed;
    if (!plan.page && !printed && result.pages > 0)
        tell("重新打印没有完成。");
    m_job.id = 0; // the new job comes first
    refresh();
    return printed;
}

} // namespace ordavel
