#include "service/render/qt_page_maker.h"

#include "data/data_table.h"
#include "data/merge.h"
#include "file/file_system.h"
#include "file/template_reader.h"
#include "model/document.h"
#include "platform/calibration_store.h"
#include "platform/print_journal.h"
#include "platform/printer.h"
#include "platform/system_spooler.h"
#include "print/print_job.h"
#include "print_run/printed_fields.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>

#include <cmath>

namespace ordavel::service {

namespace {

class QuietSink : public MessageSink {
public:
    MessageAnswer show(const Message& message) override
    {
        if (text.empty())
            text = message.text;
        return MessageAnswer::No;
    }
    std::string text;
};

DataTable tableOf(const RecordValues& record)
{
    std::vector<std::string> columns;
    for (const auto& cell : record)
        columns.push_back(cell.first);
    DataTable table(std::move(columns));
    for (const auto& cell : record)
        table.appendCell(cell.second);
    table.endRecord();
    return table;
}

// The PDF's pages on the job's paper, as a printer's (jobPageLayout), at the
// resolution of a high-resolution printer; A4 for a template without a size.
// A PDF writer, not a QPrinter: a QPrinter asks CUPS for the default printer
// and its PPD each time it is made, which cost more than drawing a page.
void configureWriter(QPdfWriter& writer, const std::optional<JobPaper>& paper)
{
    writer.setPageLayout(jobPageLayout(paper.value_or(JobPaper{21000, 29700})));
    writer.setResolution(1200);
    writer.setCreator(QStringLiteral("Ordavel"));
}

Calibration calibrationOf(const std::string& printer)
{
    const StoredCalibration stored = CalibrationStore().load(printer);
    return stored.calibration.value_or(Calibration{});
}

} // namespace

QtPageMaker::QtPageMaker() = default;
QtPageMaker::~QtPageMaker() = default;

const Document* QtPageMaker::documentOf(const StoredTemplate& source, std::string& error)
{
    if (const auto it = m_documents.find(source.hash); it != m_documents.end())
        return it->second.get();
    if (!source.bytes || source.bytes->empty()) {
        error = "模板无法读取：打印记录中没有这个模板";
        return nullptr;
    }
    auto doc = std::make_unique<Document>();
    QuietSink sink;
    doc->newDocument();
    doc->setFileName(source.path);
    const bool loaded = loadDocumentFromBytes(*doc, *source.bytes, source.path, sink);
    if (!doc->page().backgroundTempPath.empty()) {
        removeFileQuietly(doc->page().backgroundTempPath);
        doc->page().backgroundTempPath.clear();
    }
    if (!loaded) {
        error = "模板无法读取：" + sink.text;
        return nullptr;
    }
    // A handful of versions are in use at a time; a full cache starts over.
    if (m_documents.size() >= 16)
        m_documents.clear();
    return m_documents.emplace(source.hash, std::move(doc)).first->second.get();
}

int QtPageMaker::draw(const std::string& printerName, const std::vector<PendingRecord>& records,
                      SpoolDocument& document, const std::function<bool()>& stop, std::optional<JobPaper>& paper,
                      std::string& error)
{
    paper.reset();
    if (records.empty())
        return 0;
    const std::lock_guard lock(m_mutex);
    const Document* doc = documentOf(records.front().source, error);
    if (doc == nullptr)
        return -1;
    const Calibration calibration = calibrationOf(printerName);
    paper = jobPaper(doc->page(), calibration.pageLengthMm);
    // A queue that takes PDF gets it from a PDF writer; a document with its
    // own device (the Windows spooler's) is set up as every print sets up a
    // printer, which also chooses the driver's form for the paper.
    std::unique_ptr<QPdfWriter> writer;
    std::unique_ptr<QPrinter> unused;
    QPagedPaintDevice* device = nullptr;
    if (!document.pdfPath.empty()) {
        writer = std::make_unique<QPdfWriter>(QString::fromStdString(document.pdfPath));
        configureWriter(*writer, paper);
        device = writer.get();
    } else {
        QPrinter& printer = pagesOf(document, unused);
        configurePrinter(printer, doc->page(), calibration.pageLengthMm);
        device = &printer;
    }
    QPainter painter;
    if (!painter.begin(device)) {
        error = document.pdfPath.empty() ? "无法打开打印机“" + document.request.printer + "”" : "无法生成打印内容";
        return -1;
    }
    int whole = 0;
    int form = 0;
    bool stopped = false;
    for (const PendingRecord& record : records) {
        const DataTable table = tableOf(record.values);
        RecordMerge merge(table);
        merge.setRecord(0, record.n);
        const BoxFilter view = [&merge](const Box& box) -> const Box& { return merge.merged(box); };
        for (int copy = 0; copy < record.copies; ++copy) {
            printFormOn(painter, *device, *doc, calibration, view, form++);
            // Only whole records go out: a record whose copies were cut
            // short by a stop stays queued and is drawn again later.
            if (stop() && copy + 1 < record.copies) {
                stopped = true;
                break;
            }
        }
        if (stopped)
            break;
        ++whole;
        if (stop())
            break;
    }
    if (document.pdfPath.empty())
        noteOpenJob(document);
    if (!painter.end()) {
        error = "无法生成打印内容";
        return -1;
    }
    return whole;
}

std::vector<RecordValues> QtPageMaker::printedText(const Document& doc, const std::vector<RecordValues>& records)
{
    std::vector<RecordValues> out;
    out.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const DataTable table = tableOf(records[i]);
        RecordMerge merge(table);
        merge.setRecord(0, static_cast<int>(i) + 1);
        RecordValues text;
        for (JournalValue& field : printedFields(doc, merge))
            text.emplace_back(std::move(field.name), std::move(field.value));
        out.push_back(std::move(text));
    }
    return out;
}

bool QtPageMaker::calibrated(const std::string& printer)
{
    return CalibrationStore().load(printer).calibration.has_value();
}

std::string QtPageMaker::preview(const StoredTemplate& source, const RecordValues& record, bool pdf, int dpi,
                                 std::string& error)
{
    const std::lock_guard lock(m_mutex);
    const Document* doc = documentOf(source, error);
    if (doc == nullptr)
        return {};
    const DataTable table = tableOf(record);
    RecordMerge merge(table);
    merge.setRecord(0, 1);
    const BoxFilter view = [&merge](const Box& box) -> const Box& { return merge.merged(box); };
    if (pdf) {
        const QTemporaryDir folder;
        if (!folder.isValid()) {
            error = "无法建立临时文件夹";
            return {};
        }
        const QString path = folder.filePath(QStringLiteral("preview.pdf"));
        {
            QPdfWriter printer(path);
            configureWriter(printer, jobPaper(doc->page()));
            QPainter painter;
            if (!painter.begin(&printer)) {
                error = "无法生成 PDF";
                return {};
            }
            printFormOn(painter, printer, *doc, Calibration{}, view, 0);
            painter.end();
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            error = "无法读回 PDF";
            return {};
        }
        const QByteArray bytes = file.readAll();
        return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    const PaperSize paper = paperSize(doc->page()).value_or(PaperSize{21000, 29700});
    const auto pixels = [dpi](int hundredthsMm) { return static_cast<int>(std::lround(hundredthsMm * dpi / 2540.0)); };
    const int width = pixels(paper.widthHundredthsMm);
    const int height = pixels(paper.heightHundredthsMm);
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > 64LL * 1024 * 1024) {
        error = "页面太大，无法以此分辨率预览";
        return {};
    }
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        error = "内存不足";
        return {};
    }
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        printPageOn(painter, *doc, Calibration{}, {}, view);
    }
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        error = "无法生成 PNG";
        return {};
    }
    return std::string(png.constData(), static_cast<std::size_t>(png.size()));
}

} // namespace ordavel::service
