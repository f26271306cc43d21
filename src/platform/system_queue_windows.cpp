// The Windows spooler as the print run's queue. Qt's Windows print engine
// starts the spooler's document in QPainter::begin and hands it over in
// QPainter::end; the spooler's job id is then found by the document name,
// which carries the journal's records. What became of a job is told by its
// statuses while it was listed (WindowsJobWatch): the spooler drops a job
// from its queue once it has gone to the printer.
#include "platform/system_spooler.h"

#include "platform/cups_jobs.h"
#include "platform/printer_paper.h"
#include "print_run/windows_job_watch.h"
#include "print_run/windows_printer_status.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <ctime>
#include <map>
#include <vector>

#include <windows.h>
#include <winspool.h>

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
    int jobId = 0; // as found while its pages were open; 0 when not looked up or not found
};

// Each printer's Status and Attributes as the spooler lists them (PRINTER_INFO_2),
// by name; empty when the spooler lists none.
std::map<QString, std::pair<DWORD, DWORD>> spoolerStatuses()
{
    std::map<QString, std::pair<DWORD, DWORD>> out;
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    DWORD count = 0;
    EnumPrintersW(flags, nullptr, 2, nullptr, 0, &needed, &count);
    if (needed == 0)
        return out;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(flags, nullptr, 2, buffer.data(), needed, &needed, &count))
        return out;
    const auto* infos = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (infos[i].pPrinterName != nullptr)
            out[QString::fromWCharArray(infos[i].pPrinterName)] = {infos[i].Status, infos[i].Attributes};
    return out;
}

class WindowsSpooler : public Spooler {
public:
    std::optional<std::vector<PrinterStatus>> printers() const override
    {
        std::vector<PrinterStatus> out;
        const QString fallback = QPrinterInfo::defaultPrinterName();
        const auto statuses = spoolerStatuses();
        for (const QString& name : QPrinterInfo::availablePrinterNames()) {
            const auto found = statuses.find(name);
            PrinterStatus status = found == statuses.end()
                ? windowsPrinterStatus(name.toStdString(), 0, 0)
                : windowsPrinterStatus(name.toStdString(), found->second.first, found->second.second);
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
        submitted.jobId = native.jobId > 0 ? native.jobId
                                           : cupsJobNamed(native.request.printer, native.docName, native.since - 1);
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
        if (const auto found = windowsJob({}, id)) {
            SpoolJob job = found->job;
            job.state = m_watch.seen(id, found->status);
            return job;
        }
        // Gone from the queue: ended only as far as its statuses tell.
        const auto ended = m_watch.vanished(id);
        if (!ended)
            return std::nullopt;
        SpoolJob job;
        job.id = id;
        job.state = *ended;
        return job;
    }
    // Nothing when the spooler cannot list its jobs, so that a follower
    // takes no job for ended because it is not listed.
    std::optional<std::vector<SpoolJob>> jobs(bool finishedToo) const override
    {
        const auto listed = windowsJobs();
        if (!listed)
            return std::nullopt;
        std::vector<SpoolJob> out;
        for (const WindowsJob& each : *listed) {
            SpoolJob job = each.job;
            job.state = m_watch.seen(job.id, each.status);
            if (finishedToo || !isFinished(job.state))
                out.push_back(std::move(job));
        }
        return out;
    }
    bool cancel(int id) override
    {
        // Only a job still in the queue can be taken back (asking job() would spend what the watch knows).
        const auto found = windowsJob({}, id);
        if (!found || !cancelWindowsJob(found->job.printer, id))
            return false;
        m_watch.forget(id);
        return true;
    }

private:
    mutable WindowsJobWatch m_watch;
};

} // namespace

std::unique_ptr<Spooler> systemSpooler() { return std::make_unique<WindowsSpooler>(); }

void noteOpenJob(SpoolDocument& document)
{
    if (auto* native = dynamic_cast<NativeDocument*>(&document))
        native->jobId = cupsJobNamed(native->request.printer, native->docName, native->since - 1);
}

QPrinter& pagesOf(SpoolDocument& document, std::unique_ptr<QPrinter>& pdf)
{
    if (auto* native = dynamic_cast<NativeDocument*>(&document))
        return native->printer;
    return pdfPagesOf(document, pdf);
}

} // namespace ordavel
