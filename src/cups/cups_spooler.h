#pragma once
// The CUPS scheduler as the print run's queue, through libcups: printers and
// their states, a job's PDF handed over in one Print-Job request (so that
// its job id and any refusal come back with the answer), what became of a
// job, cancelling one.

#include "print_run/spooler.h"

#include <string>
#include <utility>

namespace ordavel {

class CupsSpooler : public Spooler {
public:
    // Jobs' PDFs are made in `scratchFolder`; "" for $TMPDIR, else /tmp.
    explicit CupsSpooler(std::string scratchFolder = {}) : m_scratch(std::move(scratchFolder)) {}

    std::optional<std::vector<PrinterStatus>> printers() const override;
    // A temporary PDF for the pages, removed once handed over.
    std::unique_ptr<SpoolDocument> open(const SpoolRequest& request, std::string& error) override;
    Submitted submit(std::unique_ptr<SpoolDocument> document) override;
    void discard(std::unique_ptr<SpoolDocument> document) override;
    Submitted submitFile(const SpoolRequest& request, const std::string& pdfPath) override;
    std::optional<SpoolJob> job(int id) const override;
    std::optional<std::vector<SpoolJob>> jobs(bool finishedToo) const override;
    bool cancel(int id) override;

    // The system's default printer, "" when there is none.
    static std::string defaultPrinter();

private:
    std::string m_scratch;
};

} // namespace ordavel
