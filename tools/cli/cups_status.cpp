#include "cups_status.h"

#include <cups/cups.h>

namespace ordavel::cli {

std::string cupsJobRefusal()
{
    // Statuses up to "successful-ok-conflicting-attributes" accept the request.
    if (cupsLastError() <= IPP_STATUS_OK_CONFLICTING)
        return {};
    const char* reason = cupsLastErrorString();
    return reason != nullptr && *reason != '\0' ? reason : ippErrorString(cupsLastError());
}

} // namespace ordavel::cli
