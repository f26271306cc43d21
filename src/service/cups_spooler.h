#pragma once
// The service's side of the CUPS scheduler: the printers and their states,
// handing a PDF over as a job, what became of a job, cancelling one, and
// the jobs the service sent before (by the name they carry).

#include "print/job_paper.h"

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ordavel::service {

struct PrinterStatus {
    std::string name;
    bool isDefault = false;
    std::string state = "idle"; // "idle", "printing" or "stopped"
    bool accepting = true;
    std::string reason; // the scheduler's message or state reasons, "" when none
};

enum class CupsJobState { Waiting, Completed, Cancelled, Failed, Unknown };

struct CupsJobStatus {
    CupsJobState state = CupsJobState::Unknown;
    std::string reason;
};

struct CupsJobEntry {
    int id = 0;
    std::string title;
    CupsJobState state = CupsJobState::Unknown;
    std::string printer;
    bool held = false; // waiting to be released (job-hold-until)
    std::time_t created = 0; // when the scheduler took it
};

class CupsSpooler {
public:
    // The scheduler's printers; false, leaving `out` alone, when it did not answer.
    bool printers(std::vector<PrinterStatus>& out) const;
    // Sends the PDF as one job titled `title` on `paper` (its media, no
    // scaling; without one the queue's own paper); its CUPS job id, or 0
    // with `error` set to the scheduler's reason.
    int submit(const std::string& printer, const std::string& pdfPath, const std::string& title,
               const std::optional<JobPaper>& paper, std::string& error) const;
    // Held, pending, processing and stopped jobs count as waiting; aborted as failed.
    CupsJobStatus status(int job) const;
    bool cancel(int job) const;
    // This user's jobs whose title starts with `prefix`: the unfinished ones,
    // or with `finishedToo` every job the scheduler still remembers.
    std::vector<CupsJobEntry> jobsTitled(const std::string& prefix, bool finishedToo) const;
};

} // namespace ordavel::service
