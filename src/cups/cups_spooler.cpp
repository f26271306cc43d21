#include "cups/cups_spooler.h"

#include <cups/cups.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace ordavel {

namespace {

SpoolJobState stateOf(int ippState)
{
    if (ippState < static_cast<int>(SpoolJobState::Pending) || ippState > static_cast<int>(SpoolJobState::Completed))
        return SpoolJobState::Pending;
    return static_cast<SpoolJobState>(ippState);
}

std::string text(const char* value) { return value != nullptr ? value : ""; }

bool answered(ipp_status_t status) { return status <= IPP_STATUS_OK_EVENTS_COMPLETE; }

} // namespace

std::string CupsSpooler::defaultPrinter()
{
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    const std::string name = dest != nullptr ? text(dest->name) : std::string();
    cupsFreeDests(dest != nullptr ? 1 : 0, dest);
    return name;
}

std::optional<std::vector<PrinterStatus>> CupsSpooler::printers() const
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    if (count == 0 && cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND) {
        cupsFreeDests(count, dests);
        return std::nullopt;
    }
    std::vector<PrinterStatus> out;
    for (int i = 0; i < count; ++i) {
        const cups_dest_t& dest = dests[i];
        if (dest.instance != nullptr)
            continue;
        PrinterStatus status;
        status.name = dest.name;
        status.isDefault = dest.is_default != 0;
        const char* state = cupsGetOption("printer-state", dest.num_options, dest.options);
        if (state != nullptr && std::strcmp(state, "5") == 0)
            status.state = "stopped";
        else if (state != nullptr && std::strcmp(state, "4") == 0)
            status.state = "printing";
        const char* accepting = cupsGetOption("printer-is-accepting-jobs", dest.num_options, dest.options);
        status.accepting = accepting == nullptr || std::strcmp(accepting, "true") == 0;
        const char* message = cupsGetOption("printer-state-message", dest.num_options, dest.options);
        const char* reasons = cupsGetOption("printer-state-reasons", dest.num_options, dest.options);
        if (message != nullptr && message[0] != '\0')
            status.reason = message;
        else if (reasons != nullptr && std::strcmp(reasons, "none") != 0)
            status.reason = reasons;
        out.push_back(std::move(status));
    }
    cupsFreeDests(count, dests);
    return out;
}

std::unique_ptr<SpoolDocument> CupsSpooler::open(const SpoolRequest& request, std::string& error)
{
    const char* folder = std::getenv("TMPDIR");
    std::string path = (!m_scratch.empty()                          ? m_scratch
                            : folder != nullptr && *folder != '\0' ? std::string(folder)
                                                                   : std::string("/tmp"))
        + "/ordavel-job-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        error = "cannot make a temporary file for the print job in " + path.substr(0, path.rfind('/'));
        return nullptr;
    }
    ::close(fd);
    return std::make_unique<SpoolDocument>(request, path);
}

Submitted CupsSpooler::submit(std::unique_ptr<SpoolDocument> document)
{
    Submitted submitted = submitFile(document->request, document->pdfPath);
    std::remove(document->pdfPath.c_str());
    return submitted;
}

void CupsSpooler::discard(std::unique_ptr<SpoolDocument> document) { std::remove(document->pdfPath.c_str()); }

// One Print-Job request carrying the PDF. cupsPrintFile2 would first ask
// for the printer and all its attributes, then create the job and send the
// document: four round trips to the scheduler instead of one.
Submitted CupsSpooler::submitFile(const SpoolRequest& spool, const std::string& pdfPath)
{
    Submitted submitted;
    const std::string printer = spool.printer.empty() ? defaultPrinter() : spool.printer;
    if (printer.empty()) {
        submitted.error = "no default printer";
        submitted.refused = true;
        return submitted;
    }
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     printer.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, spool.title.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, "application/pdf");
    cups_option_t* options = nullptr;
    int count = 0;
    for (const auto& [name, value] : spool.options)
        count = cupsAddOption(name.c_str(), value.c_str(), count, &options);
    if (spool.paper)
        for (const auto& [name, value] : spool.paper->cupsOptions())
            count = cupsAddOption(name.c_str(), value.c_str(), count, &options);
    if (spool.copies > 1)
        count = cupsAddIntegerOption("copies", spool.copies, count, &options);
    if (count > 0)
        cupsEncodeOptions2(request, count, options, IPP_TAG_JOB);
    cupsFreeOptions(count, options);
    const std::string resource = "/printers/" + printer;
    ipp_t* response = cupsDoFileRequest(CUPS_HTTP_DEFAULT, request, resource.c_str(), pdfPath.c_str());
    if (response != nullptr && answered(ippGetStatusCode(response)))
        if (ipp_attribute_t* id = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER))
            submitted.jobId = ippGetInteger(id, 0);
    ippDelete(response);
    if (submitted.jobId == 0) {
        submitted.error = text(cupsLastErrorString());
        submitted.refused = true;
    }
    return submitted;
}

std::optional<SpoolJob> CupsSpooler::job(int id) const
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(id);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    static const char* const wanted[] = {"job-state", "job-name", "job-printer-uri", "time-at-creation",
                                         "job-printer-state-message", "job-state-reasons"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 6, nullptr, wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    if (response == nullptr)
        return std::nullopt;
    std::optional<SpoolJob> found;
    if (answered(ippGetStatusCode(response))) {
        SpoolJob job;
        job.id = id;
        if (ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM))
            job.state = stateOf(ippGetInteger(state, 0));
        if (ipp_attribute_t* name = ippFindAttribute(response, "job-name", IPP_TAG_NAME))
            job.title = text(ippGetString(name, 0, nullptr));
        if (ipp_attribute_t* printer = ippFindAttribute(response, "job-printer-uri", IPP_TAG_URI)) {
            const std::string printerUri = text(ippGetString(printer, 0, nullptr));
            job.printer = printerUri.substr(printerUri.rfind('/') + 1);
        }
        if (ipp_attribute_t* created = ippFindAttribute(response, "time-at-creation", IPP_TAG_INTEGER))
            job.created = ippGetInteger(created, 0);
        if (ipp_attribute_t* message = ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT))
            job.reason = text(ippGetString(message, 0, nullptr));
        if (job.reason.empty())
            if (ipp_attribute_t* reasons = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD))
                job.reason = text(ippGetString(reasons, 0, nullptr));
        found = std::move(job);
    }
    ippDelete(response);
    return found;
}

std::optional<std::vector<SpoolJob>> CupsSpooler::jobs(bool finishedToo) const
{
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 1,
                                   finishedToo ? CUPS_WHICHJOBS_ALL : CUPS_WHICHJOBS_ACTIVE);
    if (count < 0 || (count == 0 && cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE
                      && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND)) {
        cupsFreeJobs(count < 0 ? 0 : count, jobs);
        return std::nullopt;
    }
    std::vector<SpoolJob> out;
    out.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        SpoolJob job;
        job.id = jobs[i].id;
        job.title = text(jobs[i].title);
        job.printer = text(jobs[i].dest);
        job.state = stateOf(jobs[i].state);
        job.created = jobs[i].creation_time;
        out.push_back(std::move(job));
    }
    cupsFreeJobs(count, jobs);
    return out;
}

bool CupsSpooler::cancel(int id) { return cupsCancelJob2(CUPS_HTTP_DEFAULT, nullptr, id, 0) == IPP_STATUS_OK; }

} // namespace ordavel
