#include "platform/printer_paper.h"

namespace ordavel {

// A CUPS queue is given the size as the job's media with no scaling; the
// filters make the page that size or refuse the job.
std::string preparePaperForm(const std::string&, const JobPaper&) { return {}; }

std::optional<DriverPaper> driverPaper(const std::string&, const JobPaper&) { return std::nullopt; }

std::optional<std::string> paperWarning(const std::string&, const std::optional<JobPaper>&) { return std::nullopt; }

} // namespace ordavel
