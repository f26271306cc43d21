#pragma once
// The system's print queue as every print path uses it: the CUPS scheduler
// on Linux, the Windows spooler there, a file for a print to a file. A job is
// opened as a document, drawn by the front end's page device, then handed
// over; the queue tells what became of it.

#include "print/job_paper.h"
#include "print_run/spool_job.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ordavel {

// What one spooler job is: where it goes, its title and its paper.
struct SpoolRequest {
    std::string printer;
    std::string title;
    std::optional<JobPaper> paper; // its media, no scaling; none: the queue's own paper
    int copies = 1;                // of each page, made by the queue
    // Further options of the job as the print dialog set them (an input
    // tray, two-sided printing), by name; the paper's own win over them.
    std::vector<std::pair<std::string, std::string>> options;
};

// The document of one job while its pages are drawn. A queue that takes
// PDF names the file the pages go to; the Windows spooler's document
// carries its own device (a subclass the platform's page device knows).
class SpoolDocument {
public:
    explicit SpoolDocument(SpoolRequest spoolRequest, std::string pdf = {})
        : request(std::move(spoolRequest)), pdfPath(std::move(pdf))
    {
    }
    virtual ~SpoolDocument() = default;
    SpoolDocument(const SpoolDocument&) = delete;
    SpoolDocument& operator=(const SpoolDocument&) = delete;

    SpoolRequest request;
    std::string pdfPath; // where the pages are written as PDF; "" for a document with its own device
};

// The answer to a hand-over.
struct [[nodiscard]] Submitted {
    int jobId = 0;        // the queue's job id; 0 for a file
    bool toFile = false;  // written to a file: printed as it stands
    std::string error;    // the queue's reason for refusing it
    bool refused = false;
    bool ok() const { return !refused; }
};

class Spooler {
public:
    virtual ~Spooler() = default;

    // The queue's printers; nothing when the queue does not answer.
    virtual std::optional<std::vector<PrinterStatus>> printers() const = 0;
    // A document for one job; null with `error` when it cannot be made.
    virtual std::unique_ptr<SpoolDocument> open(const SpoolRequest& request, std::string& error) = 0;
    // Hands the drawn document over as one job.
    virtual Submitted submit(std::unique_ptr<SpoolDocument> document) = 0;
    // Drops a document whose job was cancelled while it was drawn: nothing of it is handed over.
    virtual void discard(std::unique_ptr<SpoolDocument> document) = 0;
    // Hands a PDF already written over as one job.
    virtual Submitted submitFile(const SpoolRequest& request, const std::string& pdfPath) = 0;
    // One job as the queue knows it; nothing when it knows no such job or does not answer.
    virtual std::optional<SpoolJob> job(int id) const = 0;
    // This user's jobs (the unfinished ones, or every one the queue still
    // remembers); nothing when the queue does not answer.
    virtual std::optional<std::vector<SpoolJob>> jobs(bool finishedToo) const = 0;
    virtual bool cancel(int id) = 0;
};

} // namespace ordavel
