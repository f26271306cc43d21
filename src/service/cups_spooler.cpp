#include "service/cups_spooler.h"

#include <cups/cups.h>

#include <cstring>

namespace ordavel::service {

namespace {

CupsJobState stateOf(int ippState)
{
    switch (ippState) {
    case IPP_JSTATE_PENDING:
    case IPP_JSTATE_HELD:
    case IPP_JSTATE_PROCESSING:
    case IPP_JSTATE_STOPPED: return CupsJobState::Waiting;
    case IPP_JSTATE_COMPLETED: return CupsJobState::Completed;
    case IPP_JSTATE_CANCELED: return CupsJobState::Cancelled;
    case IPP_JSTATE_ABORTED: return CupsJobState::Failed;
    default: return CupsJobState::Unknown;
    }
}

} // namespace

bool CupsSpooler::printers(std::vector<PrinterStatus>& found) const
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    if (count == 0 && cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE && cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND) {
        cupsFreeDests(count, dests);
        return false;
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
    found = std::move(out);
    return true;
}

// One Print-Job request carrying the PDF. cupsPrintFile2 would first ask
// for the printer and all its attributes, then create the job and send the
// document: four round trips to the scheduler instead of one.
int CupsSpooler::submit(const std::string& printer, const std::string& pdfPath, const std::string& title,
                        const std::optional<JobPaper>& paper, std::string& error) const
{
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     printer.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_PRINT_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, "application/pdf");
    if (paper) {
        cups_option_t* options = nullptr;
        int count = 0;
        for (const auto& [name, value] : paper->cupsOptions())
            count = cupsAddOption(name.c_str(), value.c_str(), count, &options);
        cupsEncodeOptions2(request, count, options, IPP_TAG_JOB);
        cupsFreeOptions(count, options);
    }
    const std::string resource = "/printers/" + printer;
    ipp_t* response = cupsDoFileRequest(CUPS_HTTP_DEFAULT, request, resource.c_str(), pdfPath.c_str());
    int job = 0;
    if (response != nullptr && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE)
        if (ipp_attribute_t* id = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER))
            job = ippGetInteger(id, 0);
    ippDelete(response);
    if (job == 0)
        error = cupsLastErrorString();
    return job;
}

CupsJobStatus CupsSpooler::status(int job) const
{
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    const std::string uri = "ipp://localhost/jobs/" + std::to_string(job);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    static const char* const wanted[] = {"job-state", "job-printer-state-message", "job-state-reasons"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    CupsJobStatus status;
    if (response == nullptr)
        return status;
    if (ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE) {
        if (ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM))
            status.state = stateOf(ippGetInteger(state, 0));
        if (ipp_attribute_t* message = ippFindAttribute(response, "job-printer-state-message", IPP_TAG_TEXT))
            status.reason = ippGetString(message, 0, nullptr) ? ippGetString(message, 0, nullptr) : "";
        if (status.reason.empty())
            if (ipp_attribute_t* reasons = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD))
                status.reason = ippGetString(reasons, 0, nullptr) ? ippGetString(reasons, 0, nullptr) : "";
    }
    ippDelete(response);
    return status;
}

bool CupsSpooler::cancel(int job) const
{
    return cupsCancelJob2(CUPS_HTTP_DEFAULT, nullptr, job, 0) == IPP_STATUS_OK;
}

std::vector<CupsJobEntry> CupsSpooler::jobsTitled(const std::string& prefix, bool finishedToo) const
{
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 1,
                                   finishedToo ? CUPS_WHICHJOBS_ALL : CUPS_WHICHJOBS_ACTIVE);
    std::vector<CupsJobEntry> out;
    for (int i = 0; i < count; ++i) {
        const char* title = jobs[i].title;
        if (title == nullptr || std::strncmp(title, prefix.c_str(), prefix.size()) != 0)
            continue;
        out.push_back({jobs[i].id, title, stateOf(jobs[i].state), jobs[i].dest != nullptr ? jobs[i].dest : "",
                       jobs[i].state == IPP_JSTATE_HELD, jobs[i].creation_time});
    }
    cupsFreeJobs(count, jobs);
    return out;
}

} // namespace ordavel::service
