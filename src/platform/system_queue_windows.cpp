// The Windows spooler as the print run's queue. Qt's Windows print engine
// starts the spooler's document in QPainter::begin and hands it over in
// QPainter::end; the spooler's job id is then found by the document name,
// which carries the journal's records.
#include "platform/system_spooler.h"

#include "platform/cups_jobs.h"
#include "platform/printer_paper.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <ctime>

namespace ordavel {

namespace {

class NativeDocument : public SpoolDocument {
public:
    explicit NativeDocument(const SpoolRequest& spoolRequest)
        : SpoolDocument(spoolRequest), printer(QPrinter::HighResolution), since(std::time(nullptr)),
          docName(spoolRequest.title)
    {
        printer.setPrinterName(QString::fromStdString(spoolRequest.printer));
        printer.setDocName(QString::fromStdString(spoolRequest.title));
        printer.setCopyCount(spoolRequest.copies);
    }
    QPrinter printer;
    std::time_t since;
    // The spooler's document name, fixed when the job began (a job cut short keeps it).
    std::string docName;
};

class WindowsSpooler : public Spooler {
public:
    std::optional<std::vector<PrinterStatus>> printers() const override
    {
        std::vector<PrinterStatus> out;
        const QString fallback = QPrinterInfo::defaultPrinterName();
        for (const QString& name : QPrinterInfo::availablePrinterNames()) {
            PrinterStatus status;
            status.name = name.toStdString();
            status.isDefault = name == fallback;
            out.push_back(std::move(status));
        }
        return out;
    }
    std::unique_ptr<SpoolDocument> open(const SpoolRequest& request, std::string&) override
    {
        SpoolRequest named = request;
        if (named.printer.empty())
            named.printer = QPrinterInfo::defaultPrinterName().toStdString();
        // The form of the paper exists before the job's printer is set up, so
        // that Qt finds it among the driver's papers and selects it by size.
        // One that cannot be made leaves the custom size, which the front
        // ends have checked with the user.
        if (named.paper)
            (void)preparePaperForm(named.printer, *named.paper);
        return std::make_unique<NativeDocument>(named);
    }
    Submitted submit(std::unique_ptr<SpoolDocument> document) override
    {
        const auto& native = static_cast<const NativeDocument&>(*document);
        Submitted submitted;
        // The spooler stamps a job when it takes it, possibly a second before the clock read.
        submitted.jobId = cupsJobNamed(native.request.printer, native.docName, native.since - 1);
        return submitted;
    }
    // Qt's engine cannot take back a document it began; the spooler's job is cancelled instead.
    void discard(std::unique_ptr<SpoolDocument> document) override
    {
        auto& native = static_cast<NativeDocument&>(*document);
        native.printer.abort();
        cancelJobSentSince(native.request.printer, native.since);
    }
    Submitted submitFile(const SpoolRequest&, const std::string&) override
    {
        return {0, false, "the Windows spooler does not take PDF files", true};
    }
    std::optional<SpoolJob> job(int id) const override
    {
        for (const SpoolJob& job : myCupsJobs())
            if (job.id == id)
                return job;
        return std::nullopt;
    }
    std::optional<std::vector<SpoolJob>> jobs(bool finishedToo) const override
    {
        std::vector<SpoolJob> out;
        for (SpoolJob& job : myCupsJobs())
            if (finishedToo || !isFinished(job.state))
                out.push_back(std::move(job));
        return out;
    }
    bool cancel(int id) override
    {
        const auto found = job(id);
        return found && cancelJobSentSince(found->printer, found->created);
    }
};

} // namespace

std::unique_ptr<Spooler> systemSpooler() { return std::make_unique<WindowsSpooler>(); }

QPrinter& pagesOf(SpoolDocument& document, std::unique_ptr<QPrinter>& pdf)
{
    if (auto* native = dynamic_cast<NativeDocument*>(&document))
        return native->printer;
    return pdfPagesOf(document, pdf);
}

} // namespace ordavel
