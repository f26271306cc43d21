#include "platform/cups_jobs.h"

#include <cups/cups.h>

namespace ordavel {

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

} // namespace ordavel
