#pragma once
// Drawing records onto pages, behind an interface so that the queue, the
// dispatcher and the API stay free of the toolkit that draws.

#include "print/job_paper.h"
#include "print_run/spooler.h"
#include "service/job_queue.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ordavel {
class Document;
}

namespace ordavel::service {

class PageMaker {
public:
    virtual ~PageMaker() = default;
    // Draws each record `copies` times, one page each, from its template's
    // stored bytes (all records share one template) onto the spooler's
    // `document` (its PDF, or its own device on Windows), corrected by the
    // printer's stored calibration.
    // `stop` is asked after every page; when it says yes the drawing ends
    // there. Returns how many records were drawn whole (all their copies);
    // -1 with `error` set when nothing usable came out. `paper` is the
    // paper the pages were drawn for, which the spooler must be given too.
    virtual int draw(const std::string& printer, const std::vector<PendingRecord>& records,
                     SpoolDocument& document, const std::function<bool()>& stop, std::optional<JobPaper>& paper,
                     std::string& error) = 0;
    // Whether the printer has a stored calibration.
    virtual bool calibrated(const std::string& printer) = 0;
    // One record's page without calibration: PNG at `dpi` or PDF bytes; empty
    // with `error` set when it cannot be drawn.
    virtual std::string preview(const StoredTemplate& source, const RecordValues& record, bool pdf, int dpi,
                                std::string& error) = 0;
    // What the journal keeps of each record: every printed box's text as the
    // page shows it, by box ("box 3"). Safe to call from any thread.
    virtual std::vector<RecordValues> printedText(const Document& doc, const std::vector<RecordValues>& records) = 0;
};

} // namespace ordavel::service
