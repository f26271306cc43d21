#include "platform/cups_jobs.h"

#include <cups/cups.h>


namespace ordavel {

std::string cupsJobRefusal()
{
    // Statuses up to "successful-ok-conflicting-attributes" accept the request.
    if (cupsLastError() <= IPP_STATUS_OK_CONFLICTING)
        return {};
    const char* reason = cupsLastErrorString();
    return reason != nullptr && *reason != '\0' ? reason : ippErrorString(cupsLastError());
}

bool cancelJobSentSince(const std::string& printerName, std::time_t sentSince)
{
    if (printerName.empty())
        return false;
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, printerName.c_str(), 1, CUPS_WHICHJOBS_ACTIVE);
    int newest = 0;
    for (int i = 0; i < count; ++i)
        if (jobs[i].creation_time >= sentSince && jobs[i].id > newest)
            newest = jobs[i].id;
    cupsFreeJobs(count, jobs);
    return newest > 0 && cupsCancelJob2(CUPS_HTTP_DEFAULT, printerName.c_str(), newest, 0) == IPP_STATUS_OK;
}

int cupsJobNamed(const std::string& printerName, const std::string& title, std::time_t since)
{
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, printerName.empty() ? nullptr : printerName.c_str(), 1,
                                   CUPS_WHICHJOBS_ALL);
    int newest = 0;
    for (int i = 0; i < count; ++i)
        if (jobs[i].title != nullptr && title == jobs[i].title && jobs[i].creation_time >= since && jobs[i].id > newest)
            newest = jobs[i].id;
    cupsFreeJobs(count, jobs);
    return newest;
}

} // namespace ordavel
